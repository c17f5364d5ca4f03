#!/usr/bin/env bash
# The program's CPU use while it waits: at the prompt and at the final key wait, each over a
# few seconds (5 by default), in an 81 x 30 tmux window of a private server. Prints the share
# of one core from the kernel's run time (/proc/PID/schedstat, nanoseconds) and from the
# clock ticks of utime + stime (/proc/PID/stat, coarse). For scale, the same for loops that
# do nothing but wait 1 ms and 15 ms at a time: a thousand wake-ups a second, and the 67 of
# the program's idle wait, cost that much on this machine whatever is done between them.
#
#   bench/idle_cpu.sh [program] [seconds]      (default: build/norvistrand 5)
set -euo pipefail
cd "$(dirname "$0")/.."
program="$(realpath "${1:-build/norvistrand}")"
seconds="${2:-5}"
[ -x "$program" ] || { echo "no program at $program" >&2; exit 2; }

folder="$(mktemp -d /tmp/norvistrand-idle-XXXXXX)"
socket="$folder/tmux.socket"
tmux_() { tmux -S "$socket" -f /dev/null "$@"; }
server_pid=
reference=
finish() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    [ -n "$reference" ] && kill "$reference" 2>/dev/null || true
    rm -rf "$folder"
}
trap finish EXIT

# A short 16-bit mono wave: 44 header bytes and four samples.
printf 'RIFF\x2c\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x01\x00\x44\xac\x00\x00'\
'\x88\x58\x01\x00\x02\x00\x10\x00data\x08\x00\x00\x00\x01\x00\xff\x7f\x00\x80\x02\x00' \
    >"$folder/idle.wav"

# Waits (bounded) until the screen shows the text.
wait_for() {
    for _ in $(seq 200); do
        tmux_ capture-pane -p -t =idle: | grep -qF "$1" && return 0
        sleep 0.03
    done
    echo "the screen never showed: $1" >&2
    exit 1
}

# Run time of the process so far: nanoseconds on the CPU, and utime + stime in ticks.
run_ns() { cut -d' ' -f1 "/proc/$1/schedstat"; }
run_ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{print $12 + $13}'; }

measure() {
    local pid="$1" label="$2"
    local ns0 ticks0 ns1 ticks1 t0 t1
    ns0=$(run_ns "$pid"); ticks0=$(run_ticks "$pid"); t0=$(date +%s%N)
    sleep "$seconds"
    ns1=$(run_ns "$pid"); ticks1=$(run_ticks "$pid"); t1=$(date +%s%N)
    awk -v label="$label" -v ns=$((ns1 - ns0)) -v ticks=$((ticks1 - ticks0)) \
        -v wall=$((t1 - t0)) -v hz="$(getconf CLK_TCK)" 'BEGIN {
        printf "%-12s %6.2f %% of a core (run time), %6.2f %% (utime+stime ticks) over %.1f s\n",
               label, 100 * ns / wall, 100 * ticks / hz / (wall / 1e9), wall / 1e9 }'
}

tmux_ new-session -d -s idle -x 81 -y 30 -c "$folder" \
    "exec env -i TERM=xterm-256color '$program'"
server_pid=$(tmux_ display-message -p -t =idle: '#{pid}')
pid=$(tmux_ display-message -p -t =idle: '#{pane_pid}')

wait_for "Name of Wave file?"
sleep 0.5
measure "$pid" "prompt"

tmux_ send-keys -t =idle: -l idle.wav
tmux_ send-keys -t =idle: Enter
wait_for "press any key to quit"
sleep 0.5
measure "$pid" "final wait"
tmux_ send-keys -t =idle: Space

for pause in 1 15; do
    perl -e "select(undef, undef, undef, $pause / 1000) while 1" &
    reference=$!
    sleep 0.5
    measure "$reference" "$pause ms loop"
    kill "$reference"
    wait "$reference" 2>/dev/null || true
    reference=
done
