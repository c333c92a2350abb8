#!/usr/bin/env bash
# flashgrab's speed: frames per second rendered into its pipe (read and thrown away as fast as
# it comes) for corpus movies at 550 x 400 and 1280 x 720, one core, against each movie's own
# frame rate ("times real time"). Short movies are rendered several times and summed.
# Usage: bench/flashgrab_bench.sh [BUILD_FOLDER]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
corpus=$(cd ../shared/corpus && pwd)
runtime=$(mktemp -d /tmp/flashgrabbenchXXXXXX)
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR=$runtime

# Movies with many frames, so the start of the program weighs little.
movies=(
  swf/from_shumway__acid__acid-large/test.swf
  swf/from_shumway__acid__acid-blend/test.swf
  swf/from_shumway__acid__acid-text-6/test.swf
  swf/visual__video__deblocking/test.swf
  swf_extra/sound/jpexs_test_sounds_stream_mp3.swf
)

# Renders the movie `rounds` times at WxH; prints "frames seconds".
render() {
  local movie=$1 width=$2 height=$3 rounds=$4 frames=0 start end round id
  start=$(date +%s%N)
  for round in $(seq 1 "$rounds"); do
    id="bench$round"
    coproc grab { taskset -c 0 "$build/flashgrab" -file "$movie" -p "$id" -w "$width" -h "$height"; }
    read -r ready <&"${grab[0]}"
    local bytes
    bytes=$(wc -c <"$runtime/Torvane$id")
    wait "$grab_PID" || true
    frames=$(( frames + bytes / (width * height * 3) ))
  done
  end=$(date +%s%N)
  awk -v f="$frames" -v ns="$(( end - start ))" 'BEGIN { printf "%d %.3f\n", f, ns / 1e9 }'
}

printf '%-58s %10s %9s %12s %9s\n' movie size frames "frames/s" "x real"
number=0
for relative in "${movies[@]}"; do
  # A copy in the private folder, as the converter's work copy is.
  number=$((number + 1))
  movie="$runtime/movie$number.swf"
  cp "$corpus/$relative" "$movie"
  rate=$("$build/swfdump" -r "$movie" | awk '{ print $2 }')
  for size in 550x400 1280x720; do
    width=${size%x*}; height=${size#*x}
    read -r frames seconds < <(render "$movie" "$width" "$height" 3)
    fps=$(awk -v f="$frames" -v s="$seconds" 'BEGIN { printf "%.0f", f / s }')
    times=$(awk -v f="$fps" -v r="$rate" 'BEGIN { printf "%.1f", f / r }')
    printf '%-58s %10s %9d %12s %9s\n' "$relative" "$size" "$frames" "$fps" "$times"
  done
done
