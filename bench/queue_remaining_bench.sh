#!/usr/bin/env bash
# How well "남은시간" of the whole queue holds: ten clips of mixed lengths (2 to 30 seconds)
# converted with torvane-cli convert --json, once with an ffmpeg preset and once with a mencoder
# one. When the overall percent first reaches 25 and 50, the remaining time shown is set against
# the time the run then really took; the goal is a ratio within 0.8 to 1.2.
# Usage: bench/queue_remaining_bench.sh [BUILD_FOLDER] [SIZE]   (default: build 640x360)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
size=${2:-640x360}
cli="$build/torvane-cli"
work=$(mktemp -d "${TMPDIR:-/tmp}/torvane-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export TORVANE_CONFIG_DIR="$work/config"
export XDG_STATE_HOME="$work/state"

mkdir -p "$work/clips"
for seconds in 2 30 5 23 8 17 11 26 14 20; do
  ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i testsrc2=size=${size}:rate=25 \
    -f lavfi -i sine=frequency=440:sample_rate=44100 -t "$seconds" -pix_fmt yuv420p -c:v libx264 \
    -preset ultrafast -c:a aac "$work/clips/clip$(printf %02d "$seconds").mp4"
done
clips=()
for seconds in 2 30 5 23 8 17 11 26 14 20; do clips+=("$work/clips/clip$(printf %02d "$seconds").mp4"); done

for preset in "$build/preset/+ 일반 파일변환/mp4_h264.ini" "$build/common_avi.ini"; do
  out="$work/out-$(basename "$preset" .ini)"
  "$cli" convert --json --preset "$preset" --out "$out" "${clips[@]}" 2>/dev/null | python3 -c '
import json, sys, time
start = time.monotonic()
marks = {}
for line in sys.stdin:
    event = json.loads(line)
    now = time.monotonic()
    if event.get("event") == "progress" and event.get("remaining") is not None:
        for mark in (25, 50):
            if mark not in marks and event.get("overall", 0) >= mark:
                marks[mark] = (now, event["remaining"])
end = time.monotonic()
name = sys.argv[1]
print(f"{name}: run {end - start:.1f} s")
for mark, (at, shown) in sorted(marks.items()):
    real = end - at
    print(f"  at {mark}% (after {at - start:.1f} s): shown {shown:.0f} s, really {real:.1f} s, ratio {shown / real:.3f}")
' "$(basename "$preset")"
done
