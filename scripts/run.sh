#!/usr/bin/env bash
# Starts Lumatex from the build tree. Until the main window exists, renders the bundled sample through a
# bundled preset with the command-line renderer.
set -euo pipefail
build="$1"
bin="$build/bin"
if [ -x "$bin/lumatex" ]; then exec "$bin/lumatex"; fi
if [ ! -x "$bin/lumatex-render" ]; then
  echo "run: neither the main window (lumatex) nor the command-line renderer (lumatex-render) is built yet."
  echo "run: once lumatex-render exists this renders $bin/media/sample.jpg through a bundled preset."
  exit 0
fi
preset="$(ls "$bin/presets" 2>/dev/null | sed -n 's/\.prs$//p' | head -1)"
out="$build/run-output.jpg"
"$bin/lumatex-render" ${preset:+--preset "$preset"} "$bin/media/sample.jpg" "$out"
echo "run: wrote $out${preset:+ (preset $preset)}"
