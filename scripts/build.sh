#!/usr/bin/env bash
# Builds the program (and its tests) into the given folder, build/ by default; further
# arguments go to the cmake configure step. BUILD_TARGET=<target> builds only that target
# (and what it needs), e.g. BUILD_TARGET=norvistrand for the program alone. Warnings are
# errors here, as in every test stage.
set -euo pipefail
cd "$(dirname "$0")/.."
folder="${1:-build}"
shift || true
cmake -S . -B "$folder" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNORVISTRAND_WERROR=ON "$@" >/dev/null
target=()
[ -z "${BUILD_TARGET:-}" ] || target=(--target "$BUILD_TARGET")
cmake --build "$folder" -j "$(nproc)" "${target[@]}"
