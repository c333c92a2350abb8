#!/usr/bin/env bash
# Prints a CTest name pattern that matches every test which reads the shared corpus: the tests
# whose body says TORVANE_NEEDS_CORPUS(). scripts/test.sh runs them once more with the corpus
# hidden, as a clone without ../shared would, where each of them must skip rather than fail.
set -euo pipefail
cd "$(dirname "$0")/.."
grep -rl --include='*.cpp' 'TORVANE_NEEDS_CORPUS()' tests |
  xargs awk '
    match($0, /^TEST(_F|_P)?\( *[A-Za-z0-9_]+, *[A-Za-z0-9_]+ *\)/) {
      header = substr($0, RSTART, RLENGTH)
      sub(/^TEST(_F|_P)?\( */, "", header); sub(/ *\)$/, "", header); sub(/, */, "\\.", header)
      current = header
    }
    /TORVANE_NEEDS_CORPUS\(\)/ && current != "" && !(current in seen) { seen[current]; names[++n] = current }
    END { for (i = 1; i <= n; ++i) printf "%s%s", (i > 1 ? "|" : ""), names[i]; print "" }'
