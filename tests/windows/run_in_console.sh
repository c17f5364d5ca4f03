#!/usr/bin/env bash
# Runs a Windows test executable under wine with a console of its own: wine gives a program
# in a terminal its console on that terminal, so the program runs in a private 81 x 30 tmux
# pane. Its standard output (the test report) goes to a file, shown when it ends; its exit
# status is this script's. Every wait is bounded.
#   run_in_console.sh <wine> <program.exe> [arguments...]
set -euo pipefail
wine=$1
program=$2
shift 2

work=$(mktemp -d /tmp/norvistrand-console-XXXXXX)
socket="$work/tmux.socket"
cleanup() {
  tmux -S "$socket" kill-server 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Standard error stays on the terminal: it is the console the program draws on.
cat >"$work/run" <<RUN
cd $(printf '%q' "$PWD")
$(printf '%q ' "$wine" "$program" "$@") >$(printf '%q' "$work/report")
echo \$? >$(printf '%q' "$work/status.part")
mv $(printf '%q' "$work/status.part") $(printf '%q' "$work/status")
RUN
tmux -S "$socket" -f /dev/null new-session -d -x 81 -y 30 -s console \
  "TERM=xterm-256color bash $(printf '%q' "$work/run"); sleep 600"
tmux -S "$socket" set -g window-size manual >/dev/null

limit=${NORVISTRAND_CONSOLE_TEST_SECONDS:-240}
for ((tenths = 0; tenths < limit * 10; tenths++)); do
  [ -f "$work/status" ] && break
  sleep 0.1
done
cat "$work/report" 2>/dev/null || true
if [ ! -f "$work/status" ]; then
  echo "run_in_console.sh: $program did not end within $limit seconds" >&2
  exit 1
fi
exit "$(cat "$work/status")"
