#!/bin/sh
# Installs what is missing, builds and runs the whole test suite.
set -eu
cd "$(dirname "$0")/.."
./scripts/build.sh
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 "$@"
