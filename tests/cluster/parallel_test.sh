#!/usr/bin/env bash
# The GNU parallel recipe of the README on this machine: the parts of one list run as parallel
# jobs, first on the local machine, then through the --sshlogin form (":" is this machine, so
# no ssh is needed), against one process's run; then the parts again with -u, which skip all.
#   parallel_test.sh <norvistrand>
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/cluster/batch_files.sh
program=$(realpath "$1")
work=$(mktemp -d /tmp/norvistrand-parallel-XXXXXX)
trap 'rm -rf "$work"' EXIT
make_batch "$work"

echo "--- parallel, 3 parts on this machine"
mkdir "$work/out"
timeout 300 parallel --will-cite -j 3 "$program" --files-from="$work/takes.list" -0 \
  --part={}/3 -u -q -d "$work/out" ::: 1 2 3 || fail "a part failed"
same_as_reference "$work/out" "$work/reference"

echo "--- parallel --sshlogin, 4 parts"
rm -rf "$work/out" && mkdir "$work/out"
timeout 300 parallel --will-cite --sshlogin 2/: "$program" --files-from="$work/takes.list" -0 \
  --part={}/4 -u -q -d "$work/out" ::: 1 2 3 4 || fail "a part failed"
same_as_reference "$work/out" "$work/reference"

echo "--- again with -u: every file up to date"
summaries=$(timeout 300 parallel --will-cite -j 2 "$program" --files-from="$work/takes.list" -0 \
  --part={}/2 -u -d "$work/out" ::: 1 2 2>&1) || fail "a part failed"
[ "$(grep -c "12 files: 0 converted, 12 up to date" <<<"$summaries")" -eq 2 ] ||
  fail "not every file up to date: $summaries"
echo "parallel: passed"
