#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds and runs the benchmarks (several minutes).
set -eu
cd "$(dirname "$0")/.."
./scripts/build.sh
./build/ops_bench 100000 25
./build/ops_bench 1000000 25
./build/search_bench 15 100000 1000000
./build/search_limits_bench
./build/store_bench 10000 50
./build/chapter_bench 15
./build/backup_bench 100000 1000000
./build/music_bench
./build/photo_bench 24 100 120
./build/transfer_bench 100000 10000
./build/window_bench ./build/quillary ./build/floor 100000 7 60
./build/window_bench ./build/quillary ./build/floor 1000000 5 10
