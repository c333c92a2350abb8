#!/usr/bin/env bash
# Probing 200 small files: torvane-cli probe (one process, library loaded once) against a shell
# loop of the mediainfo command and a shell loop of ffprobe over the same files, in one run.
# Usage: bench/probe_bench.sh [BUILD_FOLDER]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
work=$(mktemp -d "${TMPDIR:-/tmp}/torvane-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

source bench/clip_copies.sh
make_clip_copies "$work" 50

source bench/timing.sh
mediainfo_loop() { for f in "$@"; do mediainfo "$f"; done; }
ffprobe_loop() { for f in "$@"; do ffprobe -hide_banner "$f"; done; }

# One warm-up pass so every tool starts from the same page cache.
"$build/torvane-cli" probe "${files[@]}" >/dev/null 2>&1 || true
torvane=$(seconds "$build/torvane-cli" probe "${files[@]}")
mediainfo_s=$(seconds mediainfo_loop "${files[@]}")
ffprobe_s=$(seconds ffprobe_loop "${files[@]}")

printf 'files                 %d\n' "${#files[@]}"
printf 'torvane-cli probe     %.2f s\n' "$torvane"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
printf 'mediainfo loop        %.2f s   (torvane-cli / mediainfo = %s)\n' "$mediainfo_s" "$(ratio "$torvane" "$mediainfo_s")"
printf 'ffprobe loop          %.2f s   (torvane-cli / ffprobe = %s)\n' "$ffprobe_s" "$(ratio "$torvane" "$ffprobe_s")"
