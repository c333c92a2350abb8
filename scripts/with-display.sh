#!/usr/bin/env bash
# Runs a command with an X display: the one in $DISPLAY, or a private virtual one (Xvfb) that
# lives as long as the command. With --screen WIDTHxHEIGHT the display is always a private one
# of that size. Usage: scripts/with-display.sh [--screen WxH] COMMAND [ARGUMENT...]
set -euo pipefail
screen=""
if [ "${1:-}" = "--screen" ]; then
  screen=$2
  shift 2
fi
if [ -n "${DISPLAY:-}" ] && [ -z "$screen" ]; then exec "$@"; fi

ready=$(mktemp -u "${TMPDIR:-/tmp}/torvane-xvfb.XXXXXX")
mkfifo "$ready"
# Xvfb picks a free display number and writes it to the pipe once it accepts clients.
Xvfb -displayfd 3 -screen 0 "${screen:-1600x1000}x24" -nolisten tcp 3>"$ready" >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true; rm -f "$ready"' EXIT
read -r display <"$ready"
export DISPLAY=":$display"
"$@"
