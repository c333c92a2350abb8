#!/usr/bin/env bash
# The core libraries must build without Qt: no file below them includes a Qt header.
set -euo pipefail
cd "$1"
hits=$(grep -rn -E '#\s*include\s*[<"](Q[A-Za-z]+|qt[a-z]*/)' src/platform src/settings src/run src/media src/command src/update 2>/dev/null || true)
if [ -n "$hits" ]; then
  echo "core files that include Qt headers:"
  echo "$hits"
  exit 1
fi
echo "no core file includes a Qt header"
