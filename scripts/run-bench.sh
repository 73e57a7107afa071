#!/usr/bin/env bash
# Runs every benchmark program of a build tree.
set -euo pipefail
build="$(cd "$1" && pwd)"
shopt -s nullglob
for b in "$build"/bin/bench_*; do
  echo "== $(basename "$b")"
  (cd "$build/bin" && "$b")
done
