#!/usr/bin/env bash
# GNU parallel spreads one list over three shards of torvane-cli convert through its
# --sshlogin machinery, with the local host (":") standing in for the README's several hosts:
# every file of the list is converted exactly once.
# Usage: parallel_shards_test.sh TORVANE_CLI
set -euo pipefail
cli=$1
here=$(dirname "$0")
source "$here/shard_test_lib.sh"

if ! command -v parallel > /dev/null; then
  echo "GNU parallel is not installed: run scripts/install-deps.sh"
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
make_files "$work/videos" 10
export TORVANE_CONFIG_DIR=$work/config XDG_STATE_HOME=$work/state
preset="$(dirname "$cli")/preset/+ 일반 파일변환/mp4_h264.ini"

# As on a cluster: each job starts in the shared folder and reads the same list there. --quote
# hands the words over as they are, blanks and all, rather than as text for a shell.
status=0
parallel --will-cite --quote --sshlogin : --workdir "$work/videos" \
  xargs --delimiter='\n' --arg-file=list -- "$cli" convert --preset "$preset" --out "$work/out" --json \
  --shard {}/3 -- ::: 1 2 3 > "$work/events" || status=$?
if [ $status -ne 0 ]; then
  echo "parallel exited with $status"
  cat "$work/events"
  exit 1
fi
each_file_done_once "$work/videos/list" "$work/out" "$work/events"
[ "$(grep -c '^{"event":"run-finished"' "$work/events")" = 3 ] || { echo "not three runs:"; cat "$work/events"; exit 1; }
echo "10 files over 3 shards, each converted once"
