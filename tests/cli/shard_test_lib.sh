# Shared by the shell tests that spread one list of files over shards of torvane-cli convert.
# Sourced, not run.

# make_files FOLDER COUNT: COUNT copies of one half-second clip, "file 1.mp4" ... (a blank in
# every name, so a quoting slip on the way to torvane-cli shows), and FOLDER/list naming them.
make_files() {
  local folder=$1 count=$2
  mkdir -p "$folder"
  ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i "testsrc=size=160x120:rate=10" \
    -f lavfi -i "sine=frequency=440:sample_rate=8000" -t 0.5 -pix_fmt yuv420p -c:v libx264 -preset ultrafast \
    -c:a aac -f mp4 "$folder/clip.mp4"
  local i
  for i in $(seq "$count"); do cp "$folder/clip.mp4" "$folder/file $i.mp4"; done
  rm "$folder/clip.mp4"
  (cd "$folder" && printf '%s\n' file*.mp4) > "$folder/list"
}

# each_file_done_once LIST OUT_FOLDER JSON_FILE...: every file of LIST was reported done exactly
# once in the JSON lines, and OUT_FOLDER holds exactly one output of each.
each_file_done_once() {
  local list=$1 out=$2
  shift 2
  local expected reported outputs
  expected=$(sort "$list")
  reported=$(cat "$@" | sed -n 's/^{"event":"finished",.*"source":"\([^"]*\)","result":"done".*/\1/p' | sort)
  outputs=$(cd "$out" && ls -A | sort)
  if [ "$reported" != "$expected" ]; then
    echo "files reported done, against the list:"
    diff <(echo "$expected") <(echo "$reported") || true
    return 1
  fi
  if [ "$outputs" != "$expected" ]; then
    echo "outputs, against the list:"
    diff <(echo "$expected") <(echo "$outputs") || true
    return 1
  fi
}
