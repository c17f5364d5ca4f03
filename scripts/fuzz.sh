#!/usr/bin/env bash
# Builds the fuzz target with clang's libFuzzer and runs it for a bounded time (seconds, 60 by
# default) on a copy of the seed corpus. Any crash, leak, hang or sanitizer report fails the
# run; the input that caused it is then printed in hexadecimal and kept in build-fuzz/fuzz-run/artifacts.
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

# Inputs of up to 4 KB; one input may take 10 s and 2 GB before it counts as a hang or a leak
# of memory. The sanitizers stop at their first report.
status=0
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/wave_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -rss_limit_mb=2048 -malloc_limit_mb=2048 -print_final_stats=1 -dict=tests/fuzz/wave.dict \
    -artifact_prefix="$run/artifacts/" "$run/corpus" || status=$?

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
