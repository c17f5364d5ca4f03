#!/usr/bin/env bash
# Checks that every C++ source and header, and the web page's JavaScript (web/, its tests and
# its bench), is as the checked-in .clang-format lays it out.
# Fix with: git ls-files '*.cpp' '*.h' '*.js' | xargs clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh clang-format
git ls-files -z '*.cpp' '*.h' '*.js' | xargs -0 clang-format --dry-run --Werror
echo "format: every source as .clang-format lays it out"
