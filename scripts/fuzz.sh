#!/usr/bin/env bash
# Builds the fuzz target with clang's libFuzzer and runs it for a bounded time (seconds, 60 by
# default) on a copy of the seed corpus. Any crash, leak, hang, sanitizer report or input
# slower than 1 s fails the run; the input that caused it is then printed in hexadecimal and
# kept in build-fuzz/fuzz-run/artifacts. At the end it prints the inputs run, the inputs a
# second (of the run's time and of the processor time it used) and the coverage reached.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

bash scripts/setup.sh clang libclang-rt-dev

build=build-fuzz
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DNORVISTRAND_FUZZ=ON -DNORVISTRAND_TESTS=OFF -DNORVISTRAND_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target wave_fuzz

# The seed corpus stays as it is in the repository; the fuzzer grows a copy.
run="$build/fuzz-run"
rm -rf "$run"
mkdir -p "$run/corpus" "$run/artifacts"
cp tests/fuzz/corpus/* "$run/corpus/"

# Inputs of up to 4 KB; one input that takes 1 s counts as a hang (it takes a few milliseconds
# at most), one of 2 GB as a leak of memory. The sanitizers stop at their first report.
log="$run/fuzz.log"
# The processor time of this script's finished children, in seconds, from what `times` wrote
# (the builtin must run in this shell, not in a subshell, which has no children of its own).
children_cpu() {
    tail -n 1 "$1" | awk '{ for (i = 1; i <= 2; i++) { split($i, p, "m"); t += p[1] * 60 + p[2] } print t }'
}
times >"$run/times-before"
set +e
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/wave_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=1 -report_slow_units=1 \
    -rss_limit_mb=2048 -malloc_limit_mb=2048 -print_final_stats=1 -dict=tests/fuzz/wave.dict \
    -artifact_prefix="$run/artifacts/" "$run/corpus" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
set -e

# The figures: libFuzzer's own (inputs a second of the run's time), the inputs a second of the
# processor time the run used (the fuzzer's figure on a machine shared with other work), and
# the coverage: edges (cov) and features (ft) of the last status line.
inputs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
times >"$run/times-after"
cpu=$(awk -v a="$(children_cpu "$run/times-before")" -v b="$(children_cpu "$run/times-after")" \
    'BEGIN { print b - a }')
coverage=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1 || true)
echo "fuzz: ${inputs:-0} inputs in $seconds s, $(sed -n 's/^stat::average_exec_per_sec: *//p' "$log") a second;" \
    "$(awk -v n="${inputs:-0}" -v c="$cpu" 'BEGIN { printf "%.0f", (c > 0 ? n / c : 0) }') a second of processor time ($cpu s);" \
    "coverage: ${coverage:-none} (edges, features)"

found=$(find "$run/artifacts" -type f | sort)
if [ "$status" -ne 0 ] || [ -n "$found" ]; then
    echo "fuzz: FAILED (exit $status)"
    for artifact in $found; do
        echo "fuzz: input $artifact:"
        od -An -tx1 -v "$artifact" | head -n 64
    done
    [ "$status" -ne 0 ] || status=1
    exit "$status"
fi
echo "fuzz: no crash, leak, hang or sanitizer report in $seconds s"
