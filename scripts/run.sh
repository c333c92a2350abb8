#!/usr/bin/env bash
# Installs what is missing, builds, and runs Torvane: the window where a display exists,
# otherwise a conversion of a generated sample clip with the default preset.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh

if [ -x build/torvane ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec build/torvane
fi

if build/torvane-cli convert --help >/dev/null 2>&1; then
  sample_folder=$(mktemp -d "${TMPDIR:-/tmp}/torvane-sample.XXXXXX")
  sample="$sample_folder/sample.mp4"
  ffmpeg -hide_banner -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 \
    -f lavfi -i sine=frequency=440:sample_rate=44100 -t 5 -pix_fmt yuv420p -c:v libx264 -c:a aac "$sample"
  echo "run: converting $sample with the default preset"
  exec build/torvane-cli convert --preset build/common_avi.ini "$sample"
fi

echo "run: the window and the converter are not built yet; this is what torvane-cli does so far."
echo
echo "== the preset tree (torvane-cli presets) =="
build/torvane-cli presets
echo
echo "== the output formats (torvane-cli formats) =="
build/torvane-cli formats
echo
echo "== the default preset (torvane-cli show-preset build/common_avi.ini) =="
build/torvane-cli show-preset build/common_avi.ini
