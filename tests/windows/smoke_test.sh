#!/usr/bin/env bash
# Smoke test of the Windows build under wine, against the Linux build. Each program runs in
# its own private 81 x 30 tmux pane on the same input: a name that does not exist, then a
# Wave file. The Windows screen must show the banner in its colours, the refusal and the
# accepted file's report, and must equal the Linux screen at every step (text and colours);
# the signal files must be byte-identical. Then the Windows program, started without any
# console, must say so and end. Every wait is bounded.
#   smoke_test.sh <norvistrand.exe> <linux norvistrand> [wine]
set -euo pipefail
windows_program=$(realpath "$1")
linux_program=$(realpath "$2")
wine=${3:-wine}

work=$(mktemp -d /tmp/norvistrand-smoke-XXXXXX)
sockets=()
cleanup() {
  for socket in "${sockets[@]}"; do tmux -S "$socket" kill-server 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# ---- Wave files, written byte by byte -------------------------------------------------------

# The bytes of an unsigned value, little-endian, as printf escapes, into $escapes.
little_endian() {
  local value=$1 count=$2 byte i
  escapes=""
  for ((i = 0; i < count; i++)); do
    printf -v byte '\\x%02x' $(((value >> (8 * i)) & 255))
    escapes+=$byte
  done
}

# write_wave <path> <bits> <sample values...> (signed, 8-bit ones as stored: 0 to 255)
write_wave() {
  local path=$1 bits=$2
  shift 2
  local bytes=$((bits / 8)) data="" value header=""
  for value in "$@"; do
    little_endian $((value & ((1 << bits) - 1))) "$bytes"
    data+=$escapes
  done
  local size=$(($# * bytes))
  header+="RIFF"; little_endian $((36 + size)) 4; header+=$escapes
  header+="WAVEfmt "; little_endian 16 4; header+=$escapes
  little_endian 1 2; header+=$escapes  # PCM
  little_endian 1 2; header+=$escapes  # mono
  little_endian 44100 4; header+=$escapes
  little_endian $((44100 * bytes)) 4; header+=$escapes
  little_endian "$bytes" 2; header+=$escapes
  little_endian "$bits" 2; header+=$escapes
  header+="data"; little_endian "$size" 4; header+=$escapes
  printf "$header$data" >"$path"
}

# A spread of values over the whole range, extremes included.
samples16=(0 1000 -32768 32767 12345 -1 7)
for ((i = 0; i < 1500; i++)); do samples16+=($(((i * 7919) % 65536 - 32768))); done
samples24=(0 8388607 -8388608 4194304 -1 1)
for ((i = 0; i < 500; i++)); do samples24+=($(((i * 104729) % 16777216 - 8388608))); done
samples8=(128 255 0 192 1 127)
for ((i = 0; i < 500; i++)); do samples8+=($(((i * 37) % 256))); done

# ---- One program in one pane ----------------------------------------------------------------

# Waits until the pane shows the text at least `count` times; false after the limit.
wait_for_text() {
  local socket=$1 text=$2 count=$3 seconds=$4 tries
  for ((tries = 0; tries < seconds * 33; tries++)); do
    if [ "$(tmux -S "$socket" capture-pane -p -t =run: | grep -cF -- "$text")" -ge "$count" ]; then
      return 0
    fi
    sleep 0.03
  done
  return 1
}

# The screen with its colours, and the cursor.
capture() {
  local socket=$1 file=$2
  tmux -S "$socket" capture-pane -e -p -t =run: >"$file"
  tmux -S "$socket" display-message -p -t =run: 'cursor #{cursor_x},#{cursor_y}' >>"$file"
}

type_line() {
  local socket=$1 text=$2 bytes
  read -r -d '' -a bytes < <(printf '%s' "$text" | od -An -tx1) || true
  tmux -S "$socket" send-keys -t =run: -H "${bytes[@]}" 0d
}

# run_program <label> <folder> <command...>: types each refused name of $refused, then
# $accepted, captures the screen after each step into <folder>/<label>-<step>.screen, presses
# a key and records the exit status in <folder>/<label>.status.
run_program() {
  local label=$1 folder=$2
  shift 2
  local socket
  socket="$work/$(basename "$(dirname "$folder")")-$label.socket"
  sockets+=("$socket")
  printf 'cd %q && %s 2>%q; echo $? >%q; sleep 600\n' "$folder" "$(printf '%q ' "$@")" \
    "$folder/$label.stderr" "$folder/$label.status" >"$work/$label.run"
  tmux -S "$socket" -f /dev/null new-session -d -x 81 -y 30 -s run \
    "TERM=xterm-256color bash $(printf '%q' "$work/$label.run")"
  tmux -S "$socket" set -g window-size manual >/dev/null

  local prompts=1 name
  if ! wait_for_text "$socket" "   Name of Wave file?" 1 60; then
    fail "$label: no prompt"
    return
  fi
  capture "$socket" "$folder/$label-banner.screen"
  for name in "${refused[@]}"; do
    type_line "$socket" "$name"
    prompts=$((prompts + 1))
    wait_for_text "$socket" "   Name of Wave file?" "$prompts" 20 || fail "$label: no prompt after $name"
  done
  capture "$socket" "$folder/$label-refused.screen"
  type_line "$socket" "$accepted"
  wait_for_text "$socket" "   press any key to quit" 1 60 || fail "$label: the job did not finish"
  capture "$socket" "$folder/$label-finished.screen"
  tmux -S "$socket" send-keys -t =run: -H 71
  local tries
  for ((tries = 0; tries < 30 * 33; tries++)); do
    [ -s "$folder/$label.status" ] && break
    sleep 0.03
  done
  [ -s "$folder/$label.status" ] || fail "$label: did not end after the key"
  tmux -S "$socket" kill-server 2>/dev/null || true
}

# ---- The runs --------------------------------------------------------------------------------

row() { sed -n "$2p" "$1"; }

check_same_screens() {
  local folder=$1 step
  for step in banner refused finished; do
    if ! cmp -s "$folder/linux-$step.screen" "$folder/windows-$step.screen"; then
      fail "$(basename "$folder"): the screens differ after step '$step'"
      diff <(cat -v "$folder/linux-$step.screen") <(cat -v "$folder/windows-$step.screen") >&2 || true
    fi
  done
}

check_signal_file() {
  local folder=$1 name=$2 lines=$3
  local linux="$folder/linux/$name" windows="$folder/windows/$name"
  [ -s "$windows" ] || { fail "$name: the Windows build wrote no signal file"; return; }
  cmp "$linux" "$windows" >&2 || fail "$name: the signal files differ"
  [ "$(tr -cd '\n' <"$windows" | wc -c)" -eq "$lines" ] || fail "$name: not $lines lines"
  [ "$(tr -cd '\r' <"$windows" | wc -c)" -eq "$lines" ] || fail "$name: lines not ended by CR LF"
}

# run_both <folder> <wave name> <signal name> <line count>
run_both() {
  local folder=$1 wave=$2 signal=$3 lines=$4 label
  for label in linux windows; do
    mkdir -p "$folder/$label"
    cp "$folder/$wave" "$folder/$label/"
  done
  run_program linux "$folder/linux" "$linux_program"
  run_program windows "$folder/windows" "$wine" "$windows_program"
  mv "$folder"/linux/*.screen "$folder"/windows/*.screen "$folder/"
  check_same_screens "$folder"
  local status
  for label in linux windows; do
    status=$(cat "$folder/$label/$label.status" 2>/dev/null || echo none)
    [ "$status" = 0 ] || fail "$(basename "$folder"): $label ended with status $status"
  done
  check_signal_file "$folder" "$signal" "$lines"
}

# 16 bits, after a refusal: the whole screen script.
mkdir -p "$work/sixteen"
write_wave "$work/sixteen/take1.wav" 16 "${samples16[@]}"
refused=("missing.wav")
accepted="take1.wav"
run_both "$work/sixteen" take1.wav take1.sig "${#samples16[@]}"

screen="$work/sixteen/windows-banner.screen"
esc=$'\e'
[ "$(row "$screen" 1)" = "${esc}[30m${esc}[107m" ] || fail "the screen does not start black on bright white"
[ "$(row "$screen" 2)" = "   ---------------------------- Norvistrand.exe ------------------------------" ] \
  || fail "banner title row"
[ "$(row "$screen" 4)" = "     Converts Wave to normalised (+/-1) ASCII data for processing by QUARNEL" ] \
  || fail "banner purpose row"
[ "$(row "$screen" 5)" = "      The Wave file must be mono PCM format of 8, 16 or 24 bits resolution" ] \
  || fail "banner requirement row"
case "$(row "$screen" 7)" in "${esc}[90m   "?*"${esc}[30m") ;; *) fail "the credit row is not dark grey" ;; esac
[ "$(row "$screen" 9)" = "${esc}[90m   ---------------------------------------------------------------------------${esc}[30m" ] \
  || fail "the closing rule is not dark grey"
[ "$(row "$screen" 12)" = "${esc}[90m   Name of Wave file?       ${esc}[30m" ] || fail "prompt row"
[ "$(row "$screen" 31)" = "cursor 28,11" ] || fail "the cursor is not where typing starts"

screen="$work/sixteen/windows-refused.screen"
[ "$(row "$screen" 12)" = "${esc}[90m   Name of Wave file?       ${esc}[30mmissing.wav" ] || fail "typed name row"
[ "$(row "$screen" 13)" = "   ERROR - Specified file not found" ] || fail "the refusal is not shown in black"
[ "$(row "$screen" 15)" = "${esc}[90m   Name of Wave file?       ${esc}[30m" ] || fail "second prompt row"

screen="$work/sixteen/windows-finished.screen"
[ "$(row "$screen" 17 | sed "s/${esc}\[[0-9;]*m//g")" = "         FILE DATA    Resolution   16 bits" ] || fail "report row"
[ "$(row "$screen" 19 | sed "s/${esc}\[[0-9;]*m//g")" = "                      Length       ${#samples16[@]} samples" ] || fail "length row"
[ "$(row "$screen" 22 | sed "s/${esc}\[[0-9;]*m//g")" = "         Output file will be saved as take1.sig" ] || fail "announcement row"
[ "$(row "$screen" 28 | sed "s/${esc}\[[0-9;]*m//g")" = "   Job finished" ] || fail "finish row"
[ "$(row "$screen" 29 | sed "s/${esc}\[[0-9;]*m//g")" = "   press any key to quit" ] || fail "quit row"

# 24 and 8 bits, accepted at once.
refused=()
mkdir -p "$work/twentyfour" "$work/eight"
write_wave "$work/twentyfour/deep.wav" 24 "${samples24[@]}"
accepted="deep.wav"
run_both "$work/twentyfour" deep.wav deep.sig "${#samples24[@]}"
write_wave "$work/eight/coarse.wav" 8 "${samples8[@]}"
accepted="coarse.wav"
run_both "$work/eight" coarse.wav coarse.sig "${#samples8[@]}"

# Without any console the prompt could never be answered: the program says so and ends.
status=0
(cd "$work" && timeout 60 setsid -w "$wine" "$windows_program" </dev/null >"$work/alone.out" 2>"$work/alone.err") \
  || status=$?
[ "$status" = 1 ] || fail "without a console the program ended with status $status, not 1"
grep -q "no console to read the keyboard from" "$work/alone.err" || fail "without a console nothing was said"

if [ "$failures" -ne 0 ]; then
  echo "smoke test: $failures failure(s)" >&2
  exit 1
fi
echo "smoke test: passed (banner, refusal, report and signal files of 8, 16 and 24 bits equal the Linux build's)"
