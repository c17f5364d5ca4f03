#!/usr/bin/env bash
# Sets up, builds the program alone (not the tests) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_TARGET=norvistrand bash scripts/build.sh build
exec build/norvistrand
