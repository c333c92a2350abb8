#!/usr/bin/env bash
# The window: time from starting build/torvane to its first painted main window (median of
# five starts), adding 500 files at once (the whole add, against `torvane-cli probe` of
# the same files, and the longest stretch in which the window could not repaint), and a run of
# four 10-second clips with the MP4 preset, stopped after two (the longest stall of the run).
# Runs on the display in $DISPLAY, or on a virtual one (Xvfb) when there is none.
# Usage: bench/window_bench.sh [BUILD_FOLDER]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ]; then exec bash scripts/with-display.sh bash bench/window_bench.sh "$@"; fi
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/torvane-window-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=xcb
export TORVANE_CONFIG_DIR="$work/config"
mkdir -p "$TORVANE_CONFIG_DIR"

# Start-up: wall clock from just before exec to the window's first paint event.
startups=()
for _ in 1 2 3 4 5 6; do
  start=$(date +%s%N)
  painted=$(TORVANE_REPORT_FIRST_PAINT=1 "$build/torvane" | awk '/^first-paint-ns/ { print $2 }')
  startups+=("$(( (painted - start) / 1000000 ))")
done
# The first start fills the caches (fonts, libraries); the median is of the five after it.
startup_ms=$(printf '%s\n' "${startups[@]:1}" | sort -n | sed -n 3p)

# Adding 500 files: copies of the generated clips, so every probe reads a real file.
source bench/clip_copies.sh
make_clip_copies "$work" 125
"$build/torvane-cli" probe "${files[@]}" >/dev/null 2>&1 || true   # warm the page cache
probe_start=$(date +%s%N)
"$build/torvane-cli" probe "${files[@]}" >/dev/null 2>&1
probe_end=$(date +%s%N)
probe_s=$(awk -v ns="$(( probe_end - probe_start ))" 'BEGIN { printf "%.3f", ns / 1e9 }')
add_report=$("$build/bench/window_add_bench" "$build" "${files[@]}")
add_s=$(awk '/^seconds/ { print $2 }' <<<"$add_report")
stall_ms=$(awk '/^longest-stall-ms/ { print $2 }' <<<"$add_report")
rows=$(awk '/^rows/ { print $2 }' <<<"$add_report")

printf 'start to first paint   %d ms   (median of 5 after one warm-up; all: %s)\n' "$startup_ms" "${startups[*]}"
printf 'add %d files          %.3f s   (%s rows)\n' "${#files[@]}" "$add_s" "$rows"
printf 'torvane-cli probe      %.3f s   (window / probe = %s)\n' "$probe_s" \
  "$(awk -v a="$add_s" -v b="$probe_s" 'BEGIN { printf "%.3f", a / b }')"
printf 'longest repaint stall  %d ms\n' "$stall_ms"

# A run from the window: four 10-second clips with the MP4 preset (post-processed), stopped
# after the second has finished.
mkdir -p "$work/run" "$work/run-out"
for i in 1 2 3 4; do
  ffmpeg -v error -y -f lavfi -i "testsrc2=size=640x360:rate=25:duration=10" \
    -f lavfi -i "sine=frequency=440:duration=10" -c:v libx264 -preset ultrafast -c:a aac \
    "$work/run/run_$i.mp4"
done
run_report=$("$build/bench/window_run_bench" "$build" "$work/run-out" "$work"/run/run_*.mp4)
printf 'run of 4, stopped after 2: longest stall %d ms   (%s items finished)\n' \
  "$(awk '/^longest-stall-ms/ { print $2 }' <<<"$run_report")" "$(awk '/^succeeded/ { print $2 }' <<<"$run_report")"
