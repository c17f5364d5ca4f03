#!/usr/bin/env bash
# The arm64 build, tested here: installs the aarch64 cross compiler, qemu-user and
# GoogleTest's sources where missing, builds GoogleTest for aarch64 into build-arm64/googletest,
# cross-builds the program and its unit tests into build-arm64/ and runs the tests under qemu
# through CTest. Then the aarch64 program converts the example files and the test files
# (tests/realfiles/write_real_files.cpp) in the command-line mode, and its signal files,
# standard output and error lines and exit codes must equal this machine's build's
# (build/norvistrand, built first if needed). Last, the arm64 Debian package is made and
# checked as the linux stage checks its own.
set -euo pipefail
cd "$(dirname "$0")/.."

case "$(uname -m)" in
  aarch64 | arm64)
    echo "arm64: this machine is arm64, where the linux stage builds, tests and packages the"
    echo "arm64: program natively; the cross build is for other machines"
    exit 0
    ;;
esac

step_started=$SECONDS
step_done() {
  echo "arm64: $1 ($((SECONDS - step_started)) s)"
  step_started=$SECONDS
}

bash scripts/setup.sh --tests g++-aarch64-linux-gnu qemu-user googletest sox ffmpeg dpkg-dev
root=/usr/aarch64-linux-gnu
emulator=(qemu-aarch64 -L "$root")
toolchain="$PWD/cmake/aarch64-linux-gnu.cmake"
step_done "set up"

# This machine's program, and the files both builds convert.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNORVISTRAND_WERROR=ON \
  -DNORVISTRAND_TESTS=ON >/dev/null
cmake --build build --target norvistrand write_real_files -j "$(nproc)"
step_done "built this machine's program"

# GoogleTest for aarch64, from Debian's sources, once per build folder.
googletest="$PWD/build-arm64/googletest"
if [ ! -f "$googletest/lib/cmake/GTest/GTestConfig.cmake" ]; then
  cmake -S /usr/src/googletest -B build-arm64/googletest-build -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$googletest" >/dev/null
  cmake --build build-arm64/googletest-build -j "$(nproc)" >/dev/null
  cmake --install build-arm64/googletest-build >/dev/null
fi
step_done "GoogleTest for aarch64"

cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$googletest" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNORVISTRAND_WERROR=ON >/dev/null
cmake --build build-arm64 -j "$(nproc)"
step_done "cross-built"
(cd build-arm64 && ctest --output-on-failure -j 2)
step_done "unit tests under qemu"

work=$(mktemp -d /tmp/norvistrand-arm64-XXXXXX)
trap 'rm -rf "$work"' EXIT
labels=(native arm64)
mkdir "$work/made" "$work/native" "$work/arm64"
cp examples/*.wav "$work/made/"
build/tests/write_real_files "$work/made" >/dev/null
for label in "${labels[@]}"; do
  cp "$work"/made/*.wav "$work/$label/"
done

native_program="$PWD/build/norvistrand"
arm64_program="$PWD/build-arm64/norvistrand"
start_program() {
  local program=("$native_program")
  [ "$1" = arm64 ] && program=("${emulator[@]}" "$arm64_program")
  shift
  timeout 300 "${program[@]}" "$@"
}
source tests/support/two_builds.sh

# Every file at once (some are refused: exit 1), the examples alone (exit 0), a usage error.
mapfile -t names < <(cd "$work/made" && ls -- *.wav)
for label in "${labels[@]}"; do
  run "$label" all "${names[@]}"
  run "$label" examples -q chirp8.wav chirp16.wav chirp24.wav
  run "$label" usage --fast chirp8.wav
done
expect_both all 1
expect_both examples 0
expect_both usage 2

signals=0
for signal in "$work"/native/*.sig; do
  name=$(basename "$signal")
  if cmp "$signal" "$work/arm64/$name" >&2; then
    signals=$((signals + 1))
  else
    fail "$name differs"
  fi
done
[ "$signals" -gt 0 ] || fail "this machine's build wrote no signal file"
[ "$(cd "$work/native" && ls -A)" = "$(cd "$work/arm64" && ls -A)" ] ||
  fail "the folders hold different files"
step_done "converted ${#names[@]} files with both builds"
if [ "$failures" -ne 0 ]; then
  echo "arm64: $failures failure(s)" >&2
  exit 1
fi
echo "arm64: the $signals signal files, the lines and the exit codes equal this machine's build's"

bash scripts/package.sh build-arm64
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-arm64/CMakeCache.txt)
[ -f "build-arm64/norvistrand_${version}_arm64.deb" ] || {
  echo "arm64: no build-arm64/norvistrand_${version}_arm64.deb" >&2
  exit 1
}
step_done "package"
