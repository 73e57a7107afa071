#!/usr/bin/env bash
# Runs a command on a private Xvfb display that Xvfb picks free itself (-displayfd), and stops that Xvfb
# by its process id however the command ends. The command's exit status is the script's.
#   scripts/with-xvfb.sh COMMAND [ARGS...]        XVFB_SCREEN: the screen, default 1280x1024x24
set -euo pipefail
command -v Xvfb >/dev/null || { echo "with-xvfb: Xvfb is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
work="$(mktemp -d)"
xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1280x1024x24}" -nolisten tcp 3>"$work/display" 2>"$work/log" </dev/null &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
[ -s "$work/display" ] || { cat "$work/log" >&2; echo "with-xvfb: Xvfb did not start" >&2; exit 1; }
# Not exec: the trap must stop Xvfb once the command has ended.
status=0
DISPLAY=":$(head -n1 "$work/display")" "$@" || status=$?
exit "$status"
