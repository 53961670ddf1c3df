#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Every C++ file of the project as .clang-format lays it out.
# Usage: format_check.sh <source folder>
set -eu
cd "$1"
command -v clang-format >/dev/null || { echo "clang-format missing, skipped"; exit 77; }
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests bench fuzz tools -name '*.cpp' -o -name '*.h')
# shellcheck disable=SC2086
clang-format --dry-run -Werror $files
echo "format: $(echo "$files" | wc -w) files as .clang-format lays them out"
