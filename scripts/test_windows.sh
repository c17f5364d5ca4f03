#!/usr/bin/env bash
# The Windows build, tested here: installs the mingw-w64 compiler and wine where missing,
# cross-builds norvistrand.exe and its tests into build-windows/, runs the tests under wine
# through CTest, and runs the smoke test and the command-line test that compare norvistrand.exe
# with the Linux build (build/norvistrand, built first if needed).
set -euo pipefail
cd "$(dirname "$0")/.."

# wine runs x86-64 programs on x86-64 machines only.
if [ "$(uname -m)" != x86_64 ]; then
  echo "windows: this machine is $(uname -m); the Windows build is tested on x86-64 machines"
  exit 0
fi

needed=()
have_package() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
for package in g++-mingw-w64-x86-64 wine64 wine cmake make tmux sox; do
  have_package "$package" || needed+=("$package")
done
if [ "${#needed[@]}" -gt 0 ]; then
  echo "Installing: ${needed[*]}"
  if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    -o DPkg::Lock::Timeout=300 "${needed[@]}"
fi

# The Linux build to compare with: only the program is built here.
if [ ! -f build/CMakeCache.txt ]; then
  bash scripts/setup.sh --tests
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNORVISTRAND_WERROR=ON >/dev/null
fi
cmake --build build --target norvistrand -j "$(nproc)"

cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNORVISTRAND_WERROR=ON >/dev/null
cmake --build build-windows -j "$(nproc)"

# A wine of our own, quiet, kept running for the whole stage and ended after it.
export WINEPREFIX="$PWD/build-windows/wine/prefix"
export HOME="$PWD/build-windows/wine/home"
export WINEDEBUG=-all
mkdir -p "$WINEPREFIX" "$HOME"
trap 'wineserver -k 2>/dev/null || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi
wineserver -p 2>/dev/null || true  # fails when one is already running, which serves as well
# Start wine's own services now, away from CTest: a service started by a test would inherit
# the test's output pipe and keep CTest waiting for it to close.
wine cmd /c exit </dev/null >/dev/null 2>&1

(cd build-windows && ctest --output-on-failure -j 2)
bash tests/windows/smoke_test.sh build-windows/norvistrand.exe build/norvistrand
bash tests/windows/command_line_test.sh build-windows/norvistrand.exe build/norvistrand
