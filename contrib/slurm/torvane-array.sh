#!/usr/bin/env bash
# One part of a list of files converted by each task of a Slurm job array: task K of an array of
# N tasks runs `torvane-cli convert --shard K/N`, so the tasks together convert every file of the
# list exactly once, whichever nodes they land on.
#
#   sbatch --array=1-8 torvane-array.sh LIST_FILE CONVERT_OPTION...
#
# LIST_FILE holds one path a line, the same text for every task (relative paths count from the
# job's working folder, sbatch --chdir). The options go to `torvane-cli convert` as they are:
# --preset and --out at least, --json for a line per event in each task's output file.
# The array is any unbroken range with step 1 (1-8, 0-7, 1-100%10 ...). torvane-cli is taken
# from PATH unless TORVANE_CLI names it.
#
#SBATCH --job-name=torvane
#SBATCH --array=1-4
#SBATCH --cpus-per-task=2
#SBATCH --output=torvane-%A_%a.out
set -euo pipefail

if [ -z "${SLURM_ARRAY_TASK_ID:-}" ]; then
  echo "torvane-array.sh: not a task of a job array; submit it with sbatch --array=1-N" >&2
  exit 2
fi
if [ $# -lt 1 ] || [ ! -r "$1" ]; then
  echo "torvane-array.sh: the first argument must be a readable list of files, one a line" >&2
  exit 2
fi
list=$1
shift

# An array with gaps or steps (1,3,7 or 1-9:2) has ids that do not number the parts 1..N.
first=$SLURM_ARRAY_TASK_MIN
parts=$((SLURM_ARRAY_TASK_MAX - SLURM_ARRAY_TASK_MIN + 1))
if [ "${SLURM_ARRAY_TASK_STEP:-1}" != 1 ] || [ "${SLURM_ARRAY_TASK_COUNT:-$parts}" != "$parts" ]; then
  echo "torvane-array.sh: the array ids must be an unbroken range, such as --array=1-${SLURM_ARRAY_TASK_COUNT:-N}" >&2
  exit 2
fi
part=$((SLURM_ARRAY_TASK_ID - first + 1))

# Blank lines name no file. xargs passes the paths without a shell and splits a list too long
# for one command line over several runs, which is harmless: a file's part depends on its path
# alone.
sed '/^$/d' "$list" | xargs --no-run-if-empty --delimiter='\n' -- \
  "${TORVANE_CLI:-torvane-cli}" convert "$@" --shard "$part/$parts" --
