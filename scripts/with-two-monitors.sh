#!/usr/bin/env bash
# Runs a command on a private X server with two monitors side by side, and stops that server by its process
# id however the command ends. The command's exit status is the script's.
#   scripts/with-two-monitors.sh COMMAND [ARGS...]
# Xvfb's RandR takes `xrandr --setmonitor` without error but never lists the monitor, so Qt sees one screen
# there. The X.Org server with its dummy video driver lists it: the first monitor is the dummy output at
# 1024x768, the second ($LUMATEX_SECOND_MONITOR, 800x600 to its right) a RandR monitor, which the command
# may take away and give back with xrandr --delmonitor / --setmonitor "$LUMATEX_SECOND_MONITOR_GEOMETRY" none.
set -euo pipefail
command -v Xorg >/dev/null && [ -e /usr/lib/xorg/modules/drivers/dummy_drv.so ] ||
  { echo "with-two-monitors: the X.Org server or its dummy driver is missing (scripts/install-deps.sh)" >&2; exit 1; }
source "$(dirname "$0")/x-server.sh"
cat >"$x_work/xorg.conf" <<'EOF'
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 64000
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0-1000.0
    VertRefresh 5.0-200.0
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Virtual 1824 768
    EndSubSection
EndSection
Section "ServerFlags"
    Option "AutoAddDevices" "false"
EndSection
EOF
# -configdir: no snippets from the system's xorg.conf.d.
start_x_server Xorg -config "$x_work/xorg.conf" -configdir "$x_work" -logfile "$x_work/log" -noreset
export LUMATEX_SECOND_MONITOR=SECOND
export LUMATEX_SECOND_MONITOR_GEOMETRY="800/211x600/158+1024+0"
xrandr --output DUMMY0 --mode 1024x768
xrandr --fb 1824x768
xrandr --setmonitor "$LUMATEX_SECOND_MONITOR" "$LUMATEX_SECOND_MONITOR_GEOMETRY" none
[ "$(xrandr --listmonitors | head -n1)" = "Monitors: 2" ] ||
  { xrandr --listmonitors >&2; echo "with-two-monitors: the second monitor was not added" >&2; exit 1; }
# Not exec: the trap must stop the server once the command has ended.
status=0
"$@" || status=$?
exit "$status"
