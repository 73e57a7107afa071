#!/usr/bin/env bash
# Runs every benchmark program of a build tree; the desktop program's on a private Xvfb display.
set -euo pipefail
build="$(cd "$1" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
shopt -s nullglob
# The playback benchmarks measure the picture; a sound server of the desktop (or one libpulse would start)
# must not join in. An address nobody answers makes the program play silent.
export PULSE_SERVER="${LUMATEX_BENCH_PULSE_SERVER:-unix:/nonexistent/lumatex-bench-no-sound}"
for b in "$build"/bin/bench_*; do
  echo "== $(basename "$b")"
  # The desktop program's benchmarks (bench_app*) need a display.
  if [[ "$(basename "$b")" == bench_app* ]]; then
    (cd "$build/bin" && XDG_CONFIG_HOME="$(mktemp -d)" bash "$here/with-xvfb.sh" "$b")
  else
    (cd "$build/bin" && "$b")
  fi
done
