#!/usr/bin/env bash
# Builds Torvane into build/ (a runnable program folder); with --sanitize also build-asan/,
# the core and its tests under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

configure_and_build() {
  local folder=$1; shift
  cmake -S . -B "$folder" -G Ninja "$@" >/dev/null
  cmake --build "$folder"
}

configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVANE_WERROR=ON
if [ "${1:-}" = "--sanitize" ]; then
  configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug -DTORVANE_SANITIZE=ON -DTORVANE_CORE_ONLY=ON -DTORVANE_WERROR=ON
fi
