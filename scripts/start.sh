#!/usr/bin/env bash
# Sets up what the build needs, builds the program alone (not the tests, so GoogleTest is not
# needed) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_TARGET=norvistrand bash scripts/build.sh build -DNORVISTRAND_TESTS=OFF
exec build/norvistrand
