#!/usr/bin/env bash
# Runs every fuzz target for a short while on its seed corpus; any crash, leak or hang fails.
set -euo pipefail
bin="$1"; seconds="${2:-20}"
here="$(cd "$(dirname "$0")/.." && pwd)"
export LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp:print_suppressions=0"
shopt -s nullglob
status=0
for target in "$bin"/fuzz_*; do
  name="$(basename "$target")"
  seeds="$here/fuzz/corpus/$name"
  work="$(mktemp -d)"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
  echo "fuzz: $name for ${seeds:+seeded }${seconds}s"
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
        -print_final_stats=1 "$work" > "$work.log" 2>&1; then
    tail -60 "$work.log"; status=1
  else
    grep -E '^stat::number_of_executed_units' "$work.log" | sed "s/^/fuzz: $name /" || true
  fi
  rm -rf "$work" "$work.log"
done
exit $status
