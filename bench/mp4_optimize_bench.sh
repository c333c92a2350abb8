#!/usr/bin/env bash
# Fast start on a ~100 MB MP4 with its movie box at the end: mp4creator -optimize against
# ffmpeg's own remux with -movflags +faststart, on copies of the same file, in one run.
# Usage: bench/mp4_optimize_bench.sh [BUILD_FOLDER]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
work=$(mktemp -d "${TMPDIR:-/tmp}/torvane-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# testsrc2 at a high bit rate; ffmpeg's default MP4 output puts moov after mdat.
ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=1280x720:rate=30 -t 45 \
  -c:v libx264 -preset ultrafast -b:v 40M -maxrate 40M -bufsize 40M "$work/in.mp4"
cp "$work/in.mp4" "$work/ours.mp4"

source bench/timing.sh

# One read of the input first so both start from the same page cache.
cat "$work/in.mp4" >/dev/null
ours=$(seconds "$build/mp4creator" -optimize "$work/ours.mp4")
theirs=$(seconds ffmpeg -nostdin -y -i "$work/in.mp4" -c copy -movflags +faststart "$work/ffmpeg.mp4")

printf 'input size              %d bytes\n' "$(stat -c %s "$work/in.mp4")"
printf 'mp4creator -optimize    %.3f s\n' "$ours"
printf 'ffmpeg +faststart       %.3f s\n' "$theirs"
awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "ratio (ffmpeg/ours)     %.2f\n", b / a }'
