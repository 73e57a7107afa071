#!/usr/bin/env bash
# Takes the README's pictures from the built program, on a private Xvfb display, with default settings:
#   screenshot.png          the main window on the bundled sample picture through a bundled preset, the chain
#                           window beside it
#   screenshot-presets.png  the preset manager, opened as a user opens it (a slot's menu, "Load/Manage Presets")
#   screenshot-export.png   the export window of "Save OpenGL image..." (Ctrl+S)
#   scripts/screenshot.sh [BUILD_FOLDER [OUTPUT_FOLDER]]     defaults: build, docs
# SETTLE_SECONDS (default 3) is how long the windows may draw before the first picture is taken.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
out="${2:-$root/docs}"
exe="$build/bin/lumatex"
sample="$build/bin/media/sample.jpg"
settle="${SETTLE_SECONDS:-3}"
preset="Old Film"

for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "screenshot: $tool is missing (run scripts/install-deps.sh)" >&2; exit 1; }
done
[ -x "$exe" ] || { echo "screenshot: $exe is not built yet" >&2; exit 1; }
[ -s "$sample" ] || bash "$root/scripts/make-media.sh" "$build/bin/media"

# The pictures are taken on a private display of their own.
if [ -z "${LUMATEX_SCREENSHOT_XVFB:-}" ]; then
  LUMATEX_SCREENSHOT_XVFB=1 XVFB_SCREEN=1280x800x24 exec bash "$root/scripts/with-xvfb.sh" bash "$0" "$@"
fi

work="$(mktemp -d)"
app_pid=""
# Stops what this script started, by process id; a killed process's status must not end the clean-up early.
cleanup() {
  if [ -n "$app_pid" ]; then
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# A settings and a data folder of its own: the pictures show the defaults, the user's files stay untouched.
mkdir -p "$work/config" "$work/data"
XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
  "$exe" --side-by-side --preset "$preset" "$sample" >"$work/lumatex.log" 2>&1 </dev/null &
app_pid=$!

# find_window TITLE_REGEX: the visible window of that title, waited for.
find_window() {
  local window=""
  for _ in $(seq 150); do
    window="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)"
    [ -n "$window" ] && { echo "$window"; return 0; }
    kill -0 "$app_pid" 2>/dev/null || { cat "$work/lumatex.log" >&2; echo "screenshot: lumatex ended early" >&2; exit 1; }
    sleep 0.2
  done
  cat "$work/lumatex.log" >&2
  echo "screenshot: no window named $1" >&2
  exit 1
}

# shoot NAME WINDOW...: the smallest rectangle around the windows into OUTPUT_FOLDER/NAME.
shoot() {
  local name="$1" left=100000 top=100000 right=0 bottom=0
  shift
  for window in "$@"; do
    eval "$(xdotool getwindowgeometry --shell "$window")" # X, Y, WIDTH, HEIGHT
    left=$((X < left ? X : left))
    top=$((Y < top ? Y : top))
    right=$((X + WIDTH > right ? X + WIDTH : right))
    bottom=$((Y + HEIGHT > bottom ? Y + HEIGHT : bottom))
  done
  mkdir -p "$out"
  import -window root -crop "$((right - left))x$((bottom - top))+${left}+${top}" +repage "$work/$name"
  mv -f "$work/$name" "$out/$name"
  echo "screenshot: wrote $out/$name ($((right - left))x$((bottom - top)))"
}

main="$(find_window '^Lumatex$')"
chain="$(find_window 'Shader Plugin Chain')"
sleep "$settle"
shoot screenshot.png "$main" "$chain"

# The preset manager as a user opens it: slot 1's context menu (a right click), its first item.
xdotool mousemove --window "$chain" 90 20 click 3
sleep 0.5
xdotool key Down Return
presets="$(find_window '^Presets$')"
sleep 1
shoot screenshot-presets.png "$presets"
xdotool key --window "$presets" Escape 2>/dev/null || true
xdotool windowunmap "$presets" 2>/dev/null || true

xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
xdotool key --window "$main" ctrl+s
export_window="$(find_window 'Image Save Settings')"
sleep 1
shoot screenshot-export.png "$export_window"
