#!/usr/bin/env bash
# The web page in headless Chromium against the native program (tests/web/browser_test.js):
# installs Debian's chromium and, from npm, puppeteer-core into build-web/node (not into the
# repository) where missing. Needs the page (scripts/build_web.sh) and build/norvistrand.
#   browser_test.sh [PAGE] [NATIVE_PROGRAM]
set -euo pipefail
cd "$(dirname "$0")/../.."
page="${1:-build-web/norvistrand.html}"
native="${2:-build/norvistrand}"

bash scripts/setup.sh chromium sox ffmpeg python3
command -v npm >/dev/null || bash scripts/setup.sh nodejs npm
# puppeteer-core 24 is the last to run on Node 20 (25 needs Node 22.12).
if [ ! -d build-web/node/node_modules/puppeteer-core ]; then
    mkdir -p build-web/node
    (cd build-web/node && npm install --no-audit --no-fund --no-save puppeteer-core@24 >/dev/null)
fi
NODE_PATH="$PWD/build-web/node/node_modules" timeout 900 \
    node tests/web/browser_test.js "$page" "$native" build-web/test
