#!/usr/bin/env bash
# Pictures of the main window and each of its dialogs, for review: the window is opened on a
# virtual display (or $DISPLAY), a few generated clips are added, a device preset is chosen,
# and a PNG of every view is written into the folder given (default: build/screenshots).
# Usage: scripts/screenshots.sh [OUTPUT_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(mkdir -p "${1:-build/screenshots}" && cd "${1:-build/screenshots}" && pwd)
bash scripts/build.sh
bash tests/fixtures/generate_media.sh build/test-media >/dev/null
media=$(pwd)/build/test-media
QT_QPA_PLATFORM=xcb bash scripts/with-display.sh build/tests/window_tour "$(pwd)/build" "$out" \
  "$media/proof3.mp4" "$media/with_subtitle.mp4" "$media/audio_only.mp3" "$media/wide.mkv"
rm -rf "$out/config" "$out/converted"
echo "screenshots: $out"
