#!/usr/bin/env bash
# Makes the Debian package build/torvane_<version>_amd64.deb with CPack from build/: what
# `cmake --install` lays out, under /usr. Builds first whatever is out of date.
# Install it with: sudo apt install ./build/torvane_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."

if [ ! -f build/build.ninja ]; then bash scripts/build.sh; fi
cmake --build build
# A package of an earlier version left in build/ would be taken for this one's.
rm -f build/torvane_*_amd64.deb
(cd build && cpack -G DEB >/dev/null)
package=$(ls build/torvane_*_amd64.deb)
echo "package: $package ($(du -h "$package" | cut -f1))"
