#!/usr/bin/env bash
# Checks that every C++ source and header is as the checked-in .clang-format lays it out.
# Fix with: git ls-files '*.cpp' '*.h' | xargs clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh clang-format
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
echo "format: every source as .clang-format lays it out"
