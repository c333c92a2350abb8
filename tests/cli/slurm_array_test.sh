#!/usr/bin/env bash
# contrib/slurm/torvane-array.sh run as a job array of three tasks on a one-node Slurm cluster
# that this test starts on this machine (munged, slurmctld and slurmd with a configuration, key
# and state of their own in a temporary folder) and stops again by the ids it started them with:
# every file of the list is converted exactly once.
# Usage: slurm_array_test.sh TORVANE_CLI ARRAY_SCRIPT
# Exits 77 (skipped) with one line when the daemons cannot start here.
set -euo pipefail
cli=$1
array_script=$2
here=$(dirname "$0")
source "$here/shard_test_lib.sh"

skip() {
  echo "SKIPPED: $*"
  exit 77
}

[ "$(id -u)" = 0 ] || skip "slurmd runs jobs as their owner and needs root; run as root"
for program in munged mungekey slurmctld slurmd sbatch scancel; do
  if ! command -v "$program" > /dev/null && [ ! -x "/usr/sbin/$program" ]; then
    echo "$program is not installed: run scripts/install-deps.sh"
    exit 1
  fi
done
PATH=$PATH:/usr/sbin

work=$(mktemp -d)
# munged refuses a socket in a folder others cannot pass through.
chmod 711 "$work"
munged_pid='' slurmctld_pid='' slurmd_pid='' job=''

# Ends one process this test started: TERM, up to 20 seconds to go, then KILL.
stop_process() {
  local pid=$1
  [ -n "$pid" ] || return 0
  kill -TERM "$pid" 2> /dev/null || return 0
  if ! timeout 20 tail --pid="$pid" -s 0.1 -f /dev/null; then kill -KILL "$pid" 2> /dev/null || true; fi
  wait "$pid" 2> /dev/null || true
}
cleanup() {
  if [ -n "$job" ] && [ -n "$slurmctld_pid" ]; then timeout 10 scancel "$job" 2> /dev/null || true; fi
  stop_process "$slurmd_pid"
  stop_process "$slurmctld_pid"
  stop_process "$munged_pid"
  rm -rf "$work"
}
trap cleanup EXIT

# A free pair of ports: nothing answers on either.
listening() { (exec 3<> "/dev/tcp/127.0.0.1/$1") 2> /dev/null; }
port=$((20000 + RANDOM % 20000 * 2))
while listening "$port" || listening $((port + 1)); do port=$((20000 + RANDOM % 20000 * 2)); done

mkdir -m 711 "$work/munge"
mungekey --create --keyfile="$work/munge/munge.key"
# munged forks once it is ready: its exit status says whether it started.
if ! munged --key-file="$work/munge/munge.key" --socket="$work/munge/socket" --pid-file="$work/munge/pid" \
  --log-file="$work/munge/log" --seed-file="$work/munge/seed" 2> "$work/munge/start"; then
  skip "munged cannot start: $(tail -n 1 "$work/munge/start")"
fi
munged_pid=$(cat "$work/munge/pid")

host=$(hostname -s)
mkdir "$work/state" "$work/spool"
export SLURM_CONF=$work/slurm.conf
cat > "$SLURM_CONF" << EOF
ClusterName=torvanetest
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$work/munge/socket
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
JobCompType=jobcomp/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
MpiDefault=none
ReturnToService=2
# Clients keep trying to reach the controller this long: sbatch may come before it listens.
MessageTimeout=30
NodeName=$host NodeAddr=127.0.0.1 CPUs=2 State=UNKNOWN
PartitionName=torvane Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
slurmctld -D -c -f "$SLURM_CONF" > "$work/slurmctld.out" 2>&1 &
slurmctld_pid=$!
slurmd -D -f "$SLURM_CONF" -N "$host" > "$work/slurmd.out" 2>&1 &
slurmd_pid=$!

make_files "$work/videos" 10
export TORVANE_CLI=$cli TORVANE_CONFIG_DIR=$work/config XDG_STATE_HOME=$work/torvane-state
preset="$(dirname "$cli")/preset/+ 일반 파일변환/mp4_h264.ini"
# One CPU a task, so two of the three run side by side on the node's two.
timeout 240 sbatch --wait --parsable --array=1-3 --cpus-per-task=1 --chdir="$work/videos" \
  --output="$work/task-%a.out" "$array_script" list --preset "$preset" --out "$work/out" --json \
  > "$work/sbatch.out" 2> "$work/sbatch.err" &
sbatch_pid=$!

# Whichever ends first: the job, or a daemon that could not start (or died).
ended=''
wait -n -p ended "$sbatch_pid" "$slurmctld_pid" "$slurmd_pid" || true
job=$(head -n 1 "$work/sbatch.out" | cut -d ';' -f 1)
for daemon in slurmctld slurmd; do
  pid_var=${daemon}_pid
  if [ "$ended" = "${!pid_var}" ]; then
    eval "$pid_var=''"
    stop_process "$sbatch_pid"
    out="$work/$daemon.out"
    skip "$daemon cannot run here: $(grep -m 1 fatal "$out" || grep -m 1 error "$out" || tail -n 1 "$out")"
  fi
done
status=0
wait "$sbatch_pid" || status=$?
if [ $status -ne 0 ]; then
  echo "sbatch --wait exited with $status (124: out of time)"
  cat "$work/sbatch.err" "$work"/task-*.out 2> /dev/null || true
  exit 1
fi
job=''
each_file_done_once "$work/videos/list" "$work/out" "$work"/task-*.out
[ "$(cat "$work"/task-*.out | grep -c '^{"event":"run-finished"')" = 3 ] || {
  echo "not three runs:"
  cat "$work"/task-*.out
  exit 1
}
echo "10 files over a job array of 3 tasks, each converted once"
