#!/usr/bin/env bash
# Takes the README's picture of the main window: lumatex on the bundled sample picture, on a private Xvfb
# display, with default settings, cropped to the window.
#   scripts/screenshot.sh [BUILD_FOLDER [OUTPUT_PNG]]     defaults: build, docs/screenshot.png
# SETTLE_SECONDS (default 3) is how long the window may draw before the picture is taken.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
out="${2:-$root/docs/screenshot.png}"
exe="$build/bin/lumatex"
sample="$build/bin/media/sample.jpg"
settle="${SETTLE_SECONDS:-3}"

for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "screenshot: $tool is missing (run scripts/install-deps.sh)" >&2; exit 1; }
done
[ -x "$exe" ] || { echo "screenshot: $exe is not built yet" >&2; exit 1; }
[ -s "$sample" ] || bash "$root/scripts/make-media.sh" "$build/bin/media"

work="$(mktemp -d)"
xvfb_pid=""
app_pid=""
# Stops what this script started, by process id; a killed process's status must not end the clean-up early.
cleanup() {
  local pid
  for pid in $app_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" </dev/null &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log" >&2; echo "screenshot: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$work/display" ] || { echo "screenshot: Xvfb gave no display" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

# A settings folder of its own: the picture shows the defaults, and the user's settings stay untouched.
mkdir -p "$work/config"
XDG_CONFIG_HOME="$work/config" "$exe" "$sample" >"$work/lumatex.log" 2>&1 </dev/null &
app_pid=$!

window=""
for _ in $(seq 150); do
  window="$(xdotool search --onlyvisible --name '^Lumatex$' 2>/dev/null | head -n1 || true)"
  [ -n "$window" ] && break
  kill -0 "$app_pid" 2>/dev/null || { cat "$work/lumatex.log" >&2; echo "screenshot: lumatex ended early" >&2; exit 1; }
  sleep 0.2
done
[ -n "$window" ] || { cat "$work/lumatex.log" >&2; echo "screenshot: no window named Lumatex" >&2; exit 1; }
sleep "$settle"

eval "$(xdotool getwindowgeometry --shell "$window")" # X, Y, WIDTH, HEIGHT
mkdir -p "$(dirname "$out")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$work/shot.png"
mv -f "$work/shot.png" "$out"
echo "screenshot: wrote $out (${WIDTH}x${HEIGHT})"
