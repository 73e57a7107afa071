#!/usr/bin/env bash
# Starts Lumatex from the build tree playing the bundled sample video in a loop through a bundled preset, so
# that a newcomer sees a moving effect at once. Without the desktop program (a build without Qt) the
# command-line renderer renders the bundled sample picture through a bundled preset instead.
set -euo pipefail
build="$1"
here="$(cd "$(dirname "$0")" && pwd)"
bin="$build/bin"
sample="$bin/media/sample.jpg"
video="$bin/media/sample.avi"
[ -s "$sample" ] && [ -s "$video" ] || bash "$here/make-media.sh" "$bin/media"
# A preset whose effect shows on any picture; the first bundled one if it is gone.
run_preset="Old Film"
[ -f "$bin/presets/$run_preset.prs" ] || run_preset="$(ls "$bin/presets" 2>/dev/null | sed -n 's/\.prs$//p' | head -1)"
if [ -x "$bin/lumatex" ]; then
  if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "run: no display to show the window on (DISPLAY is not set)." >&2
    exit 1
  fi
  # Side by side: the chain window beside the main window rather than over its menus, for this start only.
  exec "$bin/lumatex" --side-by-side --loop --preset "$run_preset" "$video"
fi
if [ ! -x "$bin/lumatex-render" ]; then
  echo "run: neither the main window (lumatex) nor the command-line renderer (lumatex-render) is built yet."
  exit 0
fi
preset="$(ls "$bin/presets" 2>/dev/null | sed -n 's/\.prs$//p' | head -1)"
out="$build/run-output.jpg"
"$bin/lumatex-render" ${preset:+--preset "$preset"} "$sample" "$out"
echo "run: wrote $out (preset ${preset:-none})"
