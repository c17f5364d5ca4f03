#!/usr/bin/env bash
# Builds the web page: the command-line mode compiled to WebAssembly (clang 14 and Debian's
# wasi-libc, installed where missing) and put, with the page's script and its worker, into
# one self-contained file, build-web/norvistrand.html, that works opened from disk.
#   build_web.sh [BUILD_TYPE]   (Release by default)
set -euo pipefail
cd "$(dirname "$0")/.."
build_type="${1:-Release}"

# One LLVM version for wasm32: clang 14 and its libc++, lld and compiler-rt. binaryen's
# wasm-opt, which the clang driver runs when it finds it, makes the module smaller.
bash scripts/setup.sh clang-14 lld-14 libc++-dev-wasm32 libclang-rt-dev-wasm32 binaryen

cmake -S . -B build-web/module -DCMAKE_TOOLCHAIN_FILE=cmake/wasm32-wasi.cmake \
    -DCMAKE_BUILD_TYPE="$build_type" -DNORVISTRAND_TESTS=OFF -DNORVISTRAND_WERROR=ON >/dev/null
cmake --build build-web/module -j "$(nproc)" --target norvistrand_web

# The page's one script: the module in base64, the CRC-32 and the worker as the body of
# WorkerMain (the page starts the worker from that function's source text), then the ZIP
# writer and the page's own code. The page's Content-Security-Policy lets it, and its style,
# run by their SHA-256: the hash of the exact text between the element's tags.
page=build-web/norvistrand.html
script="$page.script"
{
    printf '\nconst ModuleBase64 = "%s";\n' "$(base64 -w0 build-web/module/norvistrand_web.wasm)"
    printf 'function WorkerMain() {\n'
    cat web/worker.js
    printf '}\n'
    cat web/zip_archive.js web/page.js
} >"$script"
hash_of() {
    printf '%b' "$(sha256sum "$1" | cut -c1-64 | sed 's/../\\x&/g')" | base64 -w0
}
style="$page.style"
sed -n '/^<style>$/,/^<\/style>$/p' web/page.html | sed '1d;$d' | sed '1s/^/\n/' >"$style"
{
    sed '/^<script>$/,$d' web/page.html
    printf '<script>'
    cat "$script"
    sed '1,/^@SCRIPT@$/d' web/page.html
} | sed -e "s|@SCRIPT_HASH@|sha256-$(hash_of "$script")|" \
    -e "s|@STYLE_HASH@|sha256-$(hash_of "$style")|" >"$page.tmp"
rm "$script" "$style"
mv "$page.tmp" "$page"

size=$(stat -c %s "$page")
if [ "$size" -ge $((2 * 1024 * 1024)) ]; then
    echo "build_web.sh: $page is $size bytes, over 2 MB" >&2
    exit 1
fi
echo "Built $page ($size bytes): copy it anywhere and open it in a browser."
