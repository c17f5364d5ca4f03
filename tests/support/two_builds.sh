#!/usr/bin/env bash
# Shared by the scripts that run two builds of the program side by side in the command-line
# mode and compare what they do (tests/windows/command_line_test.sh, scripts/test_arm64.sh).
# Before sourcing, set `work` (a scratch folder with a folder of files per build, named by its
# label) and `labels` (the two labels, the reference build first), and define
# `start_program <label> <arguments...>`, which runs that build's program with a time limit.

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# run <label> <name> <arguments...>: one run in <label>'s folder; its output, error and exit
# code go to <name>.out, <name>.err and <name>.status beside the folder.
run() {
  local label=$1 name=$2 status=0
  shift 2
  (cd "$work/$label" && start_program "$label" "$@" </dev/null \
    >"$work/$label-$name.out" 2>"$work/$label-$name.err") || status=$?
  echo "$status" >"$work/$label-$name.status"
}

# expect_both <name> <status>: both builds ended with status and said the same.
expect_both() {
  local name=$1 status=$2 label stream
  for label in "${labels[@]}"; do
    [ "$(cat "$work/$label-$name.status")" = "$status" ] ||
      fail "$name: $label ended with $(cat "$work/$label-$name.status"), not $status"
  done
  for stream in out err; do
    cmp -s "$work/${labels[0]}-$name.$stream" "$work/${labels[1]}-$name.$stream" || {
      fail "$name: the standard $stream lines differ"
      diff "$work/${labels[0]}-$name.$stream" "$work/${labels[1]}-$name.$stream" >&2 || true
    }
  done
}
