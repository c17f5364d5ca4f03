#!/usr/bin/env bash
# Builds the Python module norvistrand for Debian's Python (/usr/bin/python3) with Debian's
# pybind11, installing pybind11-dev, python3-dev and python3-numpy where missing, into
# build-python/: PYTHONPATH=build-python /usr/bin/python3 -c 'import norvistrand'.
#   build_python.sh [--user]   --user also copies the module into that Python's user
#                              site-packages, where it imports from anywhere
set -euo pipefail
cd "$(dirname "$0")/.."
python=/usr/bin/python3
bash scripts/setup.sh pybind11-dev python3-dev python3-numpy

cmake -S . -B build-python -DCMAKE_BUILD_TYPE=Release -DNORVISTRAND_WERROR=ON \
    -DNORVISTRAND_TESTS=OFF -DNORVISTRAND_PYTHON=ON -DPython_EXECUTABLE="$python" >/dev/null
cmake --build build-python -j "$(nproc)" --target norvistrand_python

if [ "${1:-}" = --user ]; then
    site=$("$python" -c 'import site; print(site.getusersitepackages())')
    mkdir -p "$site"
    cp build-python/norvistrand.*.so "$site/"
    echo "Installed the module into $site"
fi
