#!/bin/sh
# Installs what is missing, builds and runs the benchmarks.
set -eu
cd "$(dirname "$0")/.."
./scripts/build.sh
./build/journal_bench "$@"
./build/chapter_bench
