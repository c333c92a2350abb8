#!/usr/bin/env bash
# Every C++ file of ours is formatted as .clang-format says.
set -euo pipefail
cd "$1"
files=$(git ls-files -- '*.cpp' '*.h' 2>/dev/null || find src tests tools flashgrab -name '*.cpp' -o -name '*.h' 2>/dev/null)
[ -n "$files" ] || { echo "no C++ files"; exit 0; }
# shellcheck disable=SC2086
clang-format --dry-run --Werror $files
echo "$(echo "$files" | wc -l) files formatted"
