#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds and runs the whole test suite, one test
# per core at a time. QUILLARY_KILLS and QUILLARY_FUZZ_SECONDS lengthen the
# crash harness and the fuzzing (see README.md).
set -eu
cd "$(dirname "$0")/.."
./scripts/build.sh test
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 --parallel "$(nproc)" "$@"
