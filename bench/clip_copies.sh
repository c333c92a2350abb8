# Sourced by the benchmarks: make_clip_copies FOLDER ROUNDS generates the test clips into
# FOLDER/seed and fills the array `files` with ROUNDS copies of four of them (av.mp4,
# audio_only.mp3, wide.mkv, video_only.avi), so every probe reads a file of its own.
make_clip_copies() {
  local folder=$1 rounds=$2 i seed copy
  bash tests/fixtures/generate_media.sh "$folder/seed" >/dev/null
  files=()
  for i in $(seq 1 "$rounds"); do
    for seed in av.mp4 audio_only.mp3 wide.mkv video_only.avi; do
      copy="$folder/clip_${i}_$seed"
      cp "$folder/seed/$seed" "$copy"
      files+=("$copy")
    done
  done
}
