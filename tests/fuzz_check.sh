#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang and runs each for a bounded time
# over its checked-in corpus. Usage: fuzz_check.sh <source folder> <work folder> [seconds]
# QUILLARY_FUZZ_SECONDS, when set, overrides the time (a longer run).
set -eu
src=$1
work=$2
seconds=${QUILLARY_FUZZ_SECONDS:-${3:-10}}
command -v clang++ >/dev/null || { echo "clang missing, skipped"; exit 77; }
[ -f "$work/CMakeCache.txt" ] ||
    cmake -S "$src/fuzz" -B "$work" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$work" --parallel "$(nproc)" >/dev/null
for target in chapter settings facename fit store schema midi picture vcard; do
    corpus="$work/corpus-$target"
    mkdir -p "$corpus"
    cp -n "$src/fuzz/corpus/$target/"* "$corpus/" 2>/dev/null || true
    "$work/fuzz_$target" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
        "$corpus" 2>"$work/$target.log" || { tail -40 "$work/$target.log"; exit 1; }
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/$target.log" | grep -o '[0-9]*$')
    echo "fuzz_$target: ${seconds}s, $runs runs"
done
