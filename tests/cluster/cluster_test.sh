#!/usr/bin/env bash
# The array recipe (examples/slurm_array.sh) on the one-node cluster of scripts/local_cluster.sh,
# against one process's run over the same list: every signal file byte for byte. Then a job
# cancelled part-way (scancel) and submitted again: it finishes the set, skipping what was done,
# with no file half-written and no temporary file left. The cluster is stopped on any exit.
# Every wait is bounded. Run as root.
#   cluster_test.sh <norvistrand>
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/cluster/batch_files.sh
program=$(realpath "$1")

# Every user may enter it: slurmd runs tasks as the submitting user on a real cluster.
work=$(mktemp -d /tmp/norvistrand-cluster-XXXXXX)
chmod 0755 "$work"
cleanup() {
  local status=$?
  bash scripts/local_cluster.sh stop || true
  if [ "$status" -ne 0 ] && [ -d "$work/logs" ]; then tail -n 20 "$work"/logs/* >&2 || true; fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

bash scripts/local_cluster.sh start
cp "$program" examples/slurm_array.sh "$work/"
mkdir -m 0755 "$work/logs"
make_batch "$work"

# Submits the recipe as an array of the given tasks; prints the job id.
submit() {
  NORVISTRAND="$work/norvistrand" sbatch --parsable --array="1-$1" --chdir="$work" \
    --output="$work/logs/%A_%a.log" "$work/slurm_array.sh" "$work/takes.list" "$work/out"
}

# Waits, at most 300 s, until the job has left the queue.
wait_job() {
  for ((i = 0; i < 1500; i++)); do
    [ -z "$(squeue -h -j "$1" 2>/dev/null)" ] && return 0
    sleep 0.2
  done
  scancel "$1" || true
  fail "job $1 still queued or running after 300 s"
}

echo "--- the whole list in 4 tasks"
mkdir -m 0755 "$work/out"
wait_job "$(submit 4)"
same_as_reference "$work/out" "$work/reference"

echo "--- cancelled part-way, then submitted again"
rm -rf "$work/out" "$work"/logs/*
mkdir -m 0755 "$work/out"
job=$(submit 3)
for ((i = 0; i < 1500 && $(signal_count "$work/out") == 0; i++)); do sleep 0.2; done
scancel "$job"
wait_job "$job"
done_before=$(signal_count "$work/out")
echo "cancelled with $done_before of $batch_count signal files written"
[ "$done_before" -gt 0 ] || fail "no task wrote a signal file before the cancel"
[ "$done_before" -lt "$batch_count" ] || fail "the job ended before it could be cancelled"
no_temporaries "$work/out"
# What is there is whole: the same as the reference.
while IFS= read -r -d '' written; do
  cmp -s "$written" "$work/reference/${written##*/}" || fail "half-written: $written"
done < <(find "$work/out" -name '*.sig' -print0)
rm -f "$work"/logs/*
wait_job "$(submit 3)"
same_as_reference "$work/out" "$work/reference"
grep -h "up to date" "$work"/logs/* >/dev/null || fail "the second job skipped no file"
echo "cluster: passed"
