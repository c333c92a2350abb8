#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: every test in build/, the
# tests that read the shared corpus once more with the corpus hidden (as a clone without
# ../shared runs them), then the core's tests again under the sanitizers.
# TORVANE_REQUIRE_CORPUS=1 (CI sets it) makes a test that finds no corpus fail instead of skip.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh --sanitize
bash scripts/package.sh  # the Debian package that package_tests unpack and convert with

status=0
ctest --test-dir build --output-on-failure --timeout 600 || status=1
echo "== the tests that read the corpus, with the corpus hidden: each must skip, not fail =="
env -u TORVANE_REQUIRE_CORPUS TORVANE_CORPUS_DIR="$PWD/build/no-corpus-here" \
  ctest --test-dir build --output-on-failure --timeout 600 -R "$(bash scripts/corpus-test-names.sh)" || status=1
echo "== core tests under AddressSanitizer and UndefinedBehaviorSanitizer =="
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan -L core --output-on-failure --timeout 600 || status=1
exit $status
