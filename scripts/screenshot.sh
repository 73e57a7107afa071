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

# The picture is taken on a private display of its own.
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
