#!/usr/bin/env bash
# Conversion overhead of torvane-cli against running the same encoder command lines directly,
# measured in one run:
#   1. one 20-second 720p clip with the default preset: torvane-cli convert / the bare command;
#   2. thirty 1-second clips: the whole list / a shell loop over the same command lines (three
#      alternating rounds, medians);
#   3. CPU time of torvane-cli's own process (read from /proc while it runs) / the encoder's.
# Usage: bench/convert_bench.sh [BUILD_FOLDER]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
cli="$build/torvane-cli"
preset="$build/common_avi.ini"
work=$(mktemp -d "${TMPDIR:-/tmp}/torvane-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export TORVANE_CONFIG_DIR="$work/config"

ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i testsrc2=size=1280x720:rate=25 \
  -f lavfi -i sine=frequency=440:sample_rate=44100 -t 20 -pix_fmt yuv420p -c:v libx264 -preset ultrafast \
  -c:a aac "$work/clip720.mp4"
mkdir -p "$work/short"
ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i testsrc2=size=320x240:rate=25 \
  -f lavfi -i sine=frequency=440:sample_rate=44100 -t 1 -pix_fmt yuv420p -c:v libx264 -preset ultrafast \
  -c:a aac "$work/one.mp4"
for i in $(seq -w 1 30); do cp "$work/one.mp4" "$work/short/clip$i.mp4"; done

# Wall-clock and CPU seconds (user + system, children included) of a command.
measure() {
  local start end cpu
  start=$(date +%s.%N)
  cpu=$( { TIMEFORMAT='%U %S'; time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ print $1 + $2 }')
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" -v c="$cpu" 'BEGIN { printf "%.3f %.3f", b - a, c }'
}
# ffmpeg reads keys from its standard input: give it none, or it eats the rest of the list.
run_lines() { while IFS= read -r line; do eval "$line" < /dev/null; done < "$1"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

# 1. One long clip, three times each, alternating; the medians count (2 cores are noisy).
"$cli" command --preset "$preset" --out "$work/direct" "$work/clip720.mp4" > "$work/one.cmd"
mkdir -p "$work/direct" "$work/converted"
run_lines "$work/one.cmd" >/dev/null 2>&1  # warm-up: libraries and the clip in the page cache
ticks=$(getconf CLK_TCK)
direct_walls=() direct_cpus=() cli_walls=() own_cpus=()
for round in 1 2 3; do
  rm -f "$work"/direct/* "$work"/converted/*
  read -r wall cpu <<< "$(measure run_lines "$work/one.cmd")"
  direct_walls+=("$wall") direct_cpus+=("$cpu")
  read -r wall _ <<< "$(measure "$cli" convert --preset "$preset" --out "$work/converted" "$work/clip720.mp4")"
  cli_walls+=("$wall")
done
# torvane-cli's own CPU time (utime + stime, its children not included), read from /proc until
# it exits, in a run of its own so that the reading does not slow the timed runs.
rm -f "$work"/converted/*
"$cli" convert --preset "$preset" --out "$work/converted" "$work/clip720.mp4" >/dev/null 2>&1 &
pid=$! own=0
while stat=$(cat "/proc/$pid/stat" 2>/dev/null); do
  own=$(echo "$stat" | awk '{ sub(/.*\) /, ""); print $12 + $13 }')
  sleep 0.05
done
wait "$pid" || true
own_cpus+=("$(awk -v t="$own" -v hz="$ticks" 'BEGIN { printf "%.3f", t / hz }')")
# Of that, starting up and probing the file (loading the MediaInfo library) is a fixed cost.
read -r _ probe_cpu <<< "$(measure "$cli" probe "$work/clip720.mp4")"
median() { printf '%s\n' "$@" | sort -g | sed -n 2p; }
direct_wall=$(median "${direct_walls[@]}") direct_cpu=$(median "${direct_cpus[@]}")
cli_wall=$(median "${cli_walls[@]}") own_cpu=${own_cpus[0]}

# 2. Thirty short clips, three times each, alternating; the medians count.
"$cli" command --preset "$preset" --out "$work/direct30" "$work"/short/*.mp4 > "$work/thirty.cmd"
mkdir -p "$work/direct30" "$work/converted30"
loop_walls=() list_walls=()
for round in 1 2 3; do
  rm -f "$work"/direct30/* "$work"/converted30/*
  read -r wall _ <<< "$(measure run_lines "$work/thirty.cmd")"
  loop_walls+=("$wall")
  read -r wall _ <<< "$(measure "$cli" convert --preset "$preset" --out "$work/converted30" "$work"/short/*.mp4)"
  list_walls+=("$wall")
done
loop_wall=$(median "${loop_walls[@]}") list_wall=$(median "${list_walls[@]}")

printf '20 s 720p clip, default preset: torvane-cli %.2f s, bare command %.2f s, ratio %s\n' \
  "$cli_wall" "$direct_wall" "$(ratio "$cli_wall" "$direct_wall")"
printf '30 clips of 1 s: torvane-cli %.2f s, shell loop %.2f s, ratio %s\n' \
  "$list_wall" "$loop_wall" "$(ratio "$list_wall" "$loop_wall")"
running_cpu=$(awk -v a="$own_cpu" -v b="$probe_cpu" 'BEGIN { d = a - b; printf "%.3f", d < 0 ? 0 : d }')
printf 'CPU of torvane-cli itself %s s (start-up and probe %s s), of the encoder %.2f s, ratio %s\n' \
  "$own_cpu" "$probe_cpu" "$direct_cpu" "$(ratio "$own_cpu" "$direct_cpu")"
printf 'CPU of torvane-cli while the encoder runs about %s s, ratio %s\n' \
  "$running_cpu" "$(ratio "$running_cpu" "$direct_cpu")"
