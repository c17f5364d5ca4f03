#!/usr/bin/env bash
# Converts the Wave files named in a list on a Slurm cluster, one part of the list per array
# task. Each task takes positions I, I+N, I+2N... of the list, so the tasks together convert
# every file once, and -u skips what an earlier run finished: after a cancelled or failed
# job, submit it again to complete the set.
#
#   find /data/takes -name '*.wav' -print0 >takes.list
#   sbatch --array=1-16 slurm_array.sh takes.list /data/signals
#
# LIST holds the names (NUL-ended, as find -print0 writes them; set NORVISTRAND_NULL= for one
# name a line); OUT is the folder the signal files go to. NORVISTRAND is the program, by
# default the norvistrand on PATH. The list, the files and OUT must be reachable from every
# node, and OUT writable by the user the tasks run as.
#SBATCH --job-name=norvistrand
#SBATCH --ntasks=1
#SBATCH --cpus-per-task=2
#SBATCH --output=norvistrand-%A_%a.log
set -euo pipefail
list=${1:?a list of Wave files}
out=${2:?a folder for the signal files}
program=${NORVISTRAND:-norvistrand}
null=${NORVISTRAND_NULL--0}
# Array indices from 1 (or from any first index): the part is the task's place among them.
part=$((SLURM_ARRAY_TASK_ID - ${SLURM_ARRAY_TASK_MIN:-1} + 1))
# The lines of a long file are made on the task's processors, at most 16.
threads=${SLURM_CPUS_PER_TASK:-2}
[ "$threads" -le 16 ] || threads=16
# shellcheck disable=SC2086 # $null is -0 or nothing
exec "$program" --files-from="$list" $null --part="$part/$SLURM_ARRAY_TASK_COUNT" -u \
  -T "$threads" -d "$out"
