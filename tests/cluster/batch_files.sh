# shellcheck shell=bash disable=SC2154 # $program is set by the script that sources this
# The batch the cluster and parallel checks convert, and their checks; sourced, with $program
# set. make_batch FOLDER writes FOLDER/takes/ (names with spaces, a newline and a leading -),
# FOLDER/takes.list (NUL-ended) and FOLDER/reference/, one process's signal files of them.

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

make_batch() {
  local folder=$1 i name
  mkdir -p "$folder/takes" "$folder/reference"
  batch_count=0
  for ((i = 1; i <= 24; i++)); do
    case $((i % 4)) in
      0) name="take $i.wav" ;;
      1) name="-take$i.wav" ;;
      2) name=$'take\n'"$i.wav" ;;
      *) name="take$i.wav" ;;
    esac
    # Long enough that a cancel finds the job part-way: seconds of 16-bit samples.
    sox -n -r 48000 -b 16 -c 1 "$folder/takes/$name" synth 12 sine $((100 * i)) vol 0.8
    batch_count=$((batch_count + 1))
  done
  chmod -R a+rX "$folder/takes"
  find "$folder/takes" -name '*.wav' -print0 | sort -z >"$folder/takes.list"
  "$program" -q -d "$folder/reference" --files-from="$folder/takes.list" -0 ||
    fail "the one-process run failed"
  [ "$(signal_count "$folder/reference")" -eq "$batch_count" ] ||
    fail "the one-process run wrote $(signal_count "$folder/reference") files"
}

# The signal files in the folder, counted by their NULs: a name may hold a newline.
signal_count() { find "$1" -name '*.sig' -print0 | tr -cd '\0' | wc -c; }

no_temporaries() {
  if [ -n "$(find "$1" -name '.norvistrand-*')" ]; then
    fail "temporary files left in $1: $(find "$1" -name '.norvistrand-*')"
  fi
}

# Every signal file of the reference, byte for byte, and no other file.
same_as_reference() {
  no_temporaries "$1"
  diff -r --brief "$2" "$1" >&2 || fail "$1 differs from the one-process run"
}
