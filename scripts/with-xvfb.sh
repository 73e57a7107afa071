#!/usr/bin/env bash
# Runs a command on a private Xvfb display that Xvfb picks free itself (-displayfd), and stops that Xvfb
# by its process id however the command ends. The command's exit status is the script's.
#   scripts/with-xvfb.sh COMMAND [ARGS...]        XVFB_SCREEN: the screen, default 1280x1024x24
set -euo pipefail
command -v Xvfb >/dev/null || { echo "with-xvfb: Xvfb is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
source "$(dirname "$0")/x-server.sh"
start_x_server Xvfb -screen 0 "${XVFB_SCREEN:-1280x1024x24}"
# Not exec: the trap must stop Xvfb once the command has ended.
status=0
"$@" || status=$?
exit "$status"
