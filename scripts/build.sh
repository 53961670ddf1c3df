#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, configures (once) and builds incrementally into
# build/, with the project's warnings as errors.
#   build.sh run    the program and what it loads
#   build.sh test   everything: the program, tests, benchmarks (default)
set -eu
cd "$(dirname "$0")/.."
mode=${1:-test}
./scripts/deps.sh "$mode"
if [ ! -f build/CMakeCache.txt ] || ! grep -q '^QUILLARY_WERROR:BOOL=ON' build/CMakeCache.txt; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLARY_WERROR=ON
fi
if [ "$mode" = run ]; then
    cmake --build build --parallel "$(nproc)" --target quillary
else
    cmake --build build --parallel "$(nproc)"
fi
