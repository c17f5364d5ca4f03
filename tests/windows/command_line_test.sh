#!/usr/bin/env bash
# The command-line mode of the Windows build under wine, against the Linux build. Both convert
# copies of the same files, made here with sox: chirps of 8, 16 and 24 bits, a 24-bit file in
# the extensible format (refused, then read with --extensible), a file written to a pipe (read
# with --data-to-end, and piped in as standard input) and a missing name. The signal files must be byte-identical,
# the standard output and error lines the same, and the exit codes 1 with a refusal, 0 when
# every file is converted (over the old signal files, leaving no temporary file), 2 for a
# usage error. An interrupt (SIGINT, which wine passes on as Ctrl+C) in the middle of a long
# file must leave the old signal file and no temporary file. Every wine call is bounded and
# reads nothing but the pipe of the standard input runs.
#   command_line_test.sh <norvistrand.exe> <linux norvistrand> [wine]
set -euo pipefail
windows_program=$(realpath "$1")
linux_program=$(realpath "$2")
wine=${3:-wine}
export WINEDEBUG=-all

work=$(mktemp -d /tmp/norvistrand-command-line-XXXXXX)
trap 'rm -rf "$work"' EXIT

labels=(linux windows)
start_program() {
  local program=("$linux_program")
  [ "$1" = windows ] && program=(timeout 120 "$wine" "$windows_program")
  shift
  timeout 150 "${program[@]}" "$@"
}
source "$(dirname "$0")/../support/two_builds.sh"

chirp() { sox -n -r 8000 -c 1 "$@" synth 0.25 sine 50-3000 vol 0.9; }
mkdir -p "$work/made"
chirp -b 8 "$work/made/chirp8.wav"
chirp -b 16 "$work/made/chirp16.wav"
chirp -b 24 -t wavpcm "$work/made/chirp24.wav"
chirp -b 24 "$work/made/extensible.wav"  # sox writes 24 bits in the extensible format
chirp -b 16 -t wav - 2>/dev/null | cat >"$work/made/pipe.wav"  # its data size 0x7FFFF000
converted=(chirp8.wav chirp16.wav chirp24.wav)
for label in linux windows; do
  mkdir -p "$work/$label"
  cp "$work"/made/*.wav "$work/$label/"
done

check_signal_files() {
  local wave signal
  for wave in "${converted[@]}"; do
    signal=${wave%wav}sig
    [ -s "$work/windows/$signal" ] || { fail "$1: the Windows build wrote no $signal"; continue; }
    cmp "$work/linux/$signal" "$work/windows/$signal" >&2 || fail "$1: $signal differs"
  done
  [ -z "$(find "$work/windows" -name '.norvistrand-*')" ] || fail "$1: a temporary file was left"
}

# A refusal among the files: the others are still converted.
for label in linux windows; do
  run "$label" refusal chirp8.wav extensible.wav chirp16.wav missing.wav chirp24.wav
done
expect_both refusal 1
check_signal_files refusal
[ "$(wc -l <"$work/windows-refusal.out")" = 3 ] || fail "refusal: not one line per converted file"
grep -qx "chirp16.wav: 16 bits, 8000 Hz, 2000 samples, 250 milliseconds -> chirp16.sig" \
  "$work/windows-refusal.out" || fail "refusal: the report line of chirp16.wav"
grep -qx "norvistrand: extensible.wav: This is not a PCM format Wave file (extensible format; --extensible reads it)" \
  "$work/windows-refusal.err" || fail "refusal: the refusal line of extensible.wav"
grep -qx "norvistrand: missing.wav: Specified file not found (no such file)" \
  "$work/windows-refusal.err" || fail "refusal: the refusal line of missing.wav"

# Every file converted, over the signal files of the first run.
for label in linux windows; do
  printf 'old' >"$work/$label/chirp8.sig"
  run "$label" all -q "${converted[@]}"
done
expect_both all 0
check_signal_files all
[ ! -s "$work/windows-all.out" ] || fail "all: --quiet still reported the files"

# The options: the extensible and the pipe-written file read, into a folder; the lines of a
# file on standard output, equal to its signal file.
for label in linux windows; do
  mkdir -p "$work/$label/out"
  run "$label" options --extensible --data-to-end --output-dir=out/ extensible.wav pipe.wav
  run "$label" stdout -c chirp16.wav
  run "$label" nofolder -d nowhere chirp16.wav
  run "$label" twooutputs -o x.sig chirp8.wav chirp16.wav
done
expect_both options 0
expect_both stdout 0
expect_both nofolder 2
expect_both twooutputs 2
for signal in extensible.sig pipe.sig; do
  [ -s "$work/windows/out/$signal" ] || fail "options: the Windows build wrote no out/$signal"
  cmp "$work/linux/out/$signal" "$work/windows/out/$signal" >&2 || fail "options: $signal differs"
done
cmp "$work/windows-stdout.out" "$work/windows/chirp16.sig" >&2 || fail "stdout: not the signal file"

# Standard input from a pipe, read as bytes: the pipe-written file's lines on standard output,
# and with -o into a file of that name; the copy in the temporary folder is gone after each.
run_piped() {
  local label=$1 name=$2 status=0
  shift 2
  (cd "$work/$label" && cat pipe.wav | start_program "$label" "$@" \
    >"$work/$label-$name.out" 2>"$work/$label-$name.err") || status=$?
  echo "$status" >"$work/$label-$name.status"
}
for label in linux windows; do
  run_piped "$label" piped -
  run_piped "$label" piped_o -o piped.sig -
done
expect_both piped 0
expect_both piped_o 0
cmp "$work/linux/out/pipe.sig" "$work/windows-piped.out" >&2 || fail "piped: not the file's lines"
cmp "$work/linux/out/pipe.sig" "$work/windows/piped.sig" >&2 || fail "piped_o: not the file's lines"
[ -z "$(find "${WINEPREFIX:-$HOME/.wine}/drive_c" -name '.norvistrand-*' 2>/dev/null)" ] ||
  fail "piped: standard input's temporary file was left"

# Usage errors, and help.
for label in linux windows; do
  run "$label" unknown --fast chirp8.wav
  run "$label" nofile -q
  run "$label" help --help
  run "$label" h -h
done
expect_both unknown 2
expect_both nofile 2
expect_both help 0
expect_both h 0
grep -q "^Usage: norvistrand" "$work/windows-help.out" || fail "help: no usage"

# Ctrl+C while the lines are written: the old signal file stays, the temporary file goes.
# 13,230,000 samples: seconds of work under wine, after the peak pass that writes nothing.
sox -n -r 44100 -c 1 -b 24 -t wavpcm "$work/windows/long.wav" synth 300 sine 50-3000 vol 0.9
printf 'old' >"$work/windows/long.sig"
(cd "$work/windows" && exec "$wine" "$windows_program" long.wav </dev/null \
  >"$work/windows-interrupt.out" 2>/dev/null) &
pid=$!
for ((tries = 0; tries < 60 * 50; tries++)); do
  [ -n "$(find "$work/windows" -name '.norvistrand-*')" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.02
done
kill -INT "$pid" 2>/dev/null || true
for ((tries = 0; tries < 30 * 10; tries++)); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -KILL "$pid" 2>/dev/null && fail "interrupt: the program did not end"
wait "$pid" 2>/dev/null || true
[ ! -s "$work/windows-interrupt.out" ] || fail "interrupt: the file was converted before the interrupt"
[ "$(cat "$work/windows/long.sig")" = old ] || fail "interrupt: the old signal file was changed"
[ -z "$(find "$work/windows" -name '.norvistrand-*')" ] || fail "interrupt: a temporary file was left"

if [ "$failures" -ne 0 ]; then
  echo "command-line test: $failures failure(s)" >&2
  exit 1
fi
echo "command-line test: passed (signal files of 8, 16 and 24 bits, lines and exit codes equal the Linux build's)"
