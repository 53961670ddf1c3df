#!/bin/sh
# Configures (once) and builds incrementally into build/. Project code is
# built with its warnings as errors.
set -eu
cd "$(dirname "$0")/.."
./scripts/deps.sh
if [ ! -f build/CMakeCache.txt ] || ! grep -q '^QUILLARY_WERROR:BOOL=ON' build/CMakeCache.txt; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLARY_WERROR=ON
fi
cmake --build build --parallel "$(nproc)"
