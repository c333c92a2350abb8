# Sourced by the benchmarks: seconds COMMAND [ARGUMENT...] runs the command with its output
# thrown away and prints the wall-clock seconds it took.
seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}
