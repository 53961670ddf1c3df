#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# No function in src/ runs past 60 lines. clang-tidy's readability-function-size
# counts from the function's first line to its closing brace: blank lines,
# comments and the lambdas inside it included.
# Usage: function_size_check.sh <source folder> <build folder with compile_commands.json>
set -eu
source_dir=$(cd "$1" && pwd)
build_dir=$(cd "$2" && pwd)
command -v clang-tidy >/dev/null || { echo "clang-tidy missing, skipped"; exit 77; }
cd "$source_dir"
files=$(git ls-files 'src/*.cpp' 2>/dev/null || find src -name '*.cpp')
report=$(mktemp)
trap 'rm -f "$report"' EXIT
# shellcheck disable=SC2086
echo $files | xargs -n 4 -P "$(nproc)" clang-tidy -p "$build_dir" --quiet \
    --checks='-*,readability-function-size' --header-filter="^$source_dir/src/" \
    --config='{CheckOptions: [{key: readability-function-size.LineThreshold, value: 60}]}' \
    >"$report" 2>/dev/null || true
if grep -q 'readability-function-size' "$report"; then
    grep -A3 'readability-function-size' "$report" | grep -E 'warning|note: [0-9]+ lines'
    exit 1
fi
echo "function size: $(echo "$files" | wc -w) files, no function over 60 lines"
