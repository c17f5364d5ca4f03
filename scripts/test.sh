#!/usr/bin/env bash
# Sets up, builds and runs every test, stage by stage:
#   linux     the sources' format checked, the normal build and its whole suite (unit,
#             end-to-end in tmux, real sound files), then the Debian package made from that
#             build and its contents checked
#   sanitize  the whole suite again with AddressSanitizer and UndefinedBehaviorSanitizer
#   fuzz      the Wave file fuzz target for 60 seconds
#   windows   the Windows build, its tests under wine, and a smoke test of the program
#   arm64     the aarch64 cross build, its unit tests under qemu, its signal files against
#             this machine's, and its Debian package
#   web       the web page built, and its signal files and lines in headless Chromium against
#             the native program's on the same files
#   cluster   a one-node Slurm cluster started here (scripts/local_cluster.sh), the array recipe
#             (examples/slurm_array.sh) run, cancelled part-way and run again against one
#             process's signal files, the cluster stopped even on failure; and the GNU parallel
#             recipe on this machine. As root.
#   python    the Python module built for Debian's Python, and pytest over it and over --npy
# With no argument every stage runs; name stages to run only those.
set -euo pipefail
cd "$(dirname "$0")/.."
stages=("$@")
[ "${#stages[@]}" -gt 0 ] || stages=(linux sanitize fuzz windows arm64 web cluster python)

run_suite() {
    local folder="$1"
    shift
    bash scripts/build.sh "$folder" -DNORVISTRAND_TESTS=ON "$@"
    (cd "$folder" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --output-on-failure -j 2)
}

bash scripts/setup.sh --tests sox ffmpeg
for stage in "${stages[@]}"; do
    echo "=== $stage"
    case "$stage" in
        linux)
            bash scripts/check_format.sh
            run_suite build
            bash scripts/package.sh build
            ;;
        sanitize) run_suite build-sanitize -DNORVISTRAND_SANITIZE=ON ;;
        fuzz) bash scripts/fuzz.sh 60 ;;
        windows) bash scripts/test_windows.sh ;;
        arm64) bash scripts/test_arm64.sh ;;
        web)
            bash scripts/build_web.sh
            BUILD_TARGET=norvistrand bash scripts/build.sh build -DNORVISTRAND_TESTS=ON
            bash tests/web/browser_test.sh
            ;;
        cluster)
            bash scripts/setup.sh slurm-wlm munge parallel
            BUILD_TARGET=norvistrand bash scripts/build.sh build -DNORVISTRAND_TESTS=ON
            bash tests/cluster/parallel_test.sh build/norvistrand
            bash tests/cluster/cluster_test.sh build/norvistrand
            ;;
        python)
            BUILD_TARGET=norvistrand bash scripts/build.sh build -DNORVISTRAND_TESTS=ON
            bash scripts/build_python.sh
            bash scripts/setup.sh python3-pytest
            # pytest's exit 5 (no tests collected) fails the stage as any other does.
            NORVISTRAND="$PWD/build/norvistrand" PYTHONPATH="$PWD/build-python" \
                /usr/bin/python3 -m pytest -q -p no:cacheprovider tests/python
            ;;
        *)
            echo "unknown stage: $stage (linux, sanitize, fuzz, windows, arm64, web, cluster, python)" >&2
            exit 2
            ;;
    esac
done
