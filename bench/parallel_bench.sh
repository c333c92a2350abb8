#!/usr/bin/env bash
# Files converted at once (torvane-cli convert --jobs), measured in one run with the default preset:
#   1. thirty 1-second clips: --jobs 2 / a shell loop over the same command lines one after
#      another (and --jobs 1 beside them);
#   2. four 20-second 720p clips: --jobs 2 / --jobs 1.
# Three alternating rounds each; the medians count. The figures only mean something on a machine
# with at least two processors.
# Usage: bench/parallel_bench.sh [BUILD_FOLDER]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
cli="$build/torvane-cli"
preset="$build/common_avi.ini"
work=$(mktemp -d "${TMPDIR:-/tmp}/torvane-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export TORVANE_CONFIG_DIR="$work/config"
source bench/timing.sh

mkdir -p "$work/short" "$work/long"
ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i testsrc2=size=320x240:rate=25 \
  -f lavfi -i sine=frequency=440:sample_rate=44100 -t 1 -pix_fmt yuv420p -c:v libx264 -preset ultrafast \
  -c:a aac "$work/one.mp4"
for i in $(seq -w 1 30); do cp "$work/one.mp4" "$work/short/clip$i.mp4"; done
ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i testsrc2=size=1280x720:rate=25 \
  -f lavfi -i sine=frequency=440:sample_rate=44100 -t 20 -pix_fmt yuv420p -c:v libx264 -preset ultrafast \
  -c:a aac "$work/clip720.mp4"
for i in 1 2 3 4; do cp "$work/clip720.mp4" "$work/long/clip$i.mp4"; done

# ffmpeg reads keys from its standard input: give it none, or it eats the rest of the list.
run_lines() { while IFS= read -r line; do eval "$line" < /dev/null; done < "$1"; }
convert() { local out=$1 jobs=$2; shift 2; "$cli" convert --preset "$preset" --out "$out" --jobs "$jobs" "$@"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
median() { printf '%s\n' "$@" | sort -g | sed -n 2p; }

# 1. Thirty short clips.
"$cli" command --preset "$preset" --out "$work/loop" "$work"/short/*.mp4 > "$work/thirty.cmd"
mkdir -p "$work/loop" "$work/one" "$work/two"
run_lines "$work/thirty.cmd" >/dev/null 2>&1  # warm-up: libraries and clips in the page cache
loop_walls=() one_walls=() two_walls=()
for round in 1 2 3; do
  rm -f "$work"/loop/* "$work"/one/* "$work"/two/*
  loop_walls+=("$(seconds run_lines "$work/thirty.cmd")")
  two_walls+=("$(seconds convert "$work/two" 2 "$work"/short/*.mp4)")
  one_walls+=("$(seconds convert "$work/one" 1 "$work"/short/*.mp4)")
done
[ "$(ls "$work/two" | wc -l)" = 30 ] || { echo "--jobs 2 did not convert all thirty clips" >&2; exit 1; }
loop_wall=$(median "${loop_walls[@]}") one_wall=$(median "${one_walls[@]}") two_wall=$(median "${two_walls[@]}")

# 2. Four long clips.
long_one=() long_two=()
for round in 1 2 3; do
  rm -f "$work"/one/* "$work"/two/*
  long_two+=("$(seconds convert "$work/two" 2 "$work"/long/*.mp4)")
  long_one+=("$(seconds convert "$work/one" 1 "$work"/long/*.mp4)")
done
[ "$(ls "$work/two" | wc -l)" = 4 ] || { echo "--jobs 2 did not convert all four clips" >&2; exit 1; }
long_one_wall=$(median "${long_one[@]}") long_two_wall=$(median "${long_two[@]}")

echo "processors: $(nproc)"
printf '30 clips of 1 s: --jobs 2 %.2f s, shell loop %.2f s, ratio %s (--jobs 1 %.2f s)\n' \
  "$two_wall" "$loop_wall" "$(ratio "$two_wall" "$loop_wall")" "$one_wall"
printf '  rounds: loop %s; --jobs 2 %s; --jobs 1 %s\n' "${loop_walls[*]}" "${two_walls[*]}" "${one_walls[*]}"
printf '4 clips of 20 s 720p: --jobs 2 %.2f s, --jobs 1 %.2f s, ratio %s\n' \
  "$long_two_wall" "$long_one_wall" "$(ratio "$long_two_wall" "$long_one_wall")"
printf '  rounds: --jobs 2 %s; --jobs 1 %s\n' "${long_two[*]}" "${long_one[*]}"
