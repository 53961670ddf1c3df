#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the music test with AddressSanitizer in a tree of its own and runs
# it: songs started, restarted and quit while FluidSynth's audio thread
# renders into ALSA's null device. Usage: asan_check.sh <source folder> <work folder>
set -eu
src=$1
work=$2
command -v c++ >/dev/null || { echo "no C++ compiler, skipped"; exit 77; }
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'int main() { return 0; }' >"$probe/probe.cpp"
c++ -fsanitize=address "$probe/probe.cpp" -o "$probe/probe" 2>/dev/null ||
    { echo "no AddressSanitizer runtime, skipped"; exit 77; }
[ -f "$work/CMakeCache.txt" ] ||
    cmake -S "$src/tests/asan" -B "$work" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$work" --parallel "$(nproc)" >"$work/build.log" 2>&1 || { tail -40 "$work/build.log"; exit 1; }
cd "$work"
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} QT_QPA_PLATFORM=offscreen exec ./test_music
