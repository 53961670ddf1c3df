#!/bin/sh
# Configures (once) and builds incrementally into build/.
set -eu
cd "$(dirname "$0")/.."
./scripts/deps.sh
[ -f build/CMakeCache.txt ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)"
