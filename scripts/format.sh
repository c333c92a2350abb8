#!/usr/bin/env bash
# Formats every C++ file of ours as .clang-format says (the formatting test checks the same).
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -co --exclude-standard -- '*.cpp' '*.h' | xargs -r -d '\n' clang-format -i
