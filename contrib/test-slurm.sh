#!/usr/bin/env bash
# Runs the README's "Large archives" recipes verbatim on a real single-node Slurm (started here in
# a scratch folder, stopped at the end) and with GNU parallel, on awkward names in two folders
# with repeated names: one array task cancelled part-way and requeued, parallel killed part-way
# and run again. Every result must exist once with the bytes of one batch, nothing left behind.
# The files are long enough that a task is still busy when the test cancels it.
#   contrib/test-slurm.sh [path/to/sonivar-cli]   (as root, after scripts/install-slurm)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=$(realpath "${1:-build/release/sonivar-cli}")
work=$(mktemp -d /tmp/sonivar-slurm.XXXXXX)
conf=$work/slurm
fail() {
  echo "test-slurm: FAILED: $*" >&2
  for log in "$conf"/*.log "$work"/run/*.log; do [ -f "$log" ] && tail -n 20 "$log" >&2; done
  exit 1
}
stop_daemons() {
  local pid
  for name in slurmd slurmctld munged; do
    pid=$(cat "$conf/$name.pid" 2>/dev/null) || continue
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  done
}
trap 'stop_daemons; rm -rf "$work"' EXIT
# Waits up to $1 seconds for the command that follows to succeed.
wait_for() {
  local seconds=$1; shift
  for _ in $(seq $((seconds * 10))); do "$@" && return 0; sleep 0.1; done
  return 1
}

# --- a single-node Slurm of this host: its CPUs, its own ports, munge key and state ----------
mkdir -p "$conf/state" "$conf/spool"
head -c 1024 /dev/urandom > "$conf/munge.key"
chmod 600 "$conf/munge.key"
munged --force --key-file="$conf/munge.key" --socket="$conf/munge.sock" \
  --pid-file="$conf/munged.pid" --log-file="$conf/munged.log" --seed-file="$conf/munge.seed"
host=$(hostname -s)
proctrack=proctrack/cgroup
[ -d /sys/fs/cgroup/freezer ] || proctrack=proctrack/linuxproc
cat > "$conf/slurm.conf" <<EOF
ClusterName=sonivarci
SlurmctldHost=$host
SlurmctldPort=$((16000 + RANDOM % 4000))
SlurmdPort=$((20000 + RANDOM % 4000))
AuthType=auth/munge
AuthInfo=socket=$conf/munge.sock
CredType=cred/munge
SlurmUser=root
SlurmdUser=root
StateSaveLocation=$conf/state
SlurmdSpoolDir=$conf/spool
SlurmctldPidFile=$conf/slurmctld.pid
SlurmdPidFile=$conf/slurmd.pid
SlurmctldLogFile=$conf/slurmctld.log
SlurmdLogFile=$conf/slurmd.log
ProctrackType=$proctrack
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
MpiDefault=none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
KillWait=10
NodeName=$host CPUs=$(nproc) RealMemory=$(($(awk '/MemTotal/ { print $2 }' /proc/meminfo) / 2048)) State=UNKNOWN
PartitionName=ci Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
echo "CgroupPlugin=autodetect" > "$conf/cgroup.conf"
export SLURM_CONF=$conf/slurm.conf
slurmctld -f "$SLURM_CONF"
slurmd -f "$SLURM_CONF"
wait_for 30 bash -c 'sinfo -h -o %t | grep -qx idle' || fail "the node did not come up"

# --- the archive: awkward names, repeated in two folders --------------------------------------
archive="$work/archive with space"
names=("take 1.wav" $'line\nbreak.wav' $'caf\xe9.wav' "-lead.wav" "plain.wav")
mkdir -p "$archive/CD1" "$archive/CD2" "$work/tmp" "$work/run" "$work/bin"
i=0
for folder in CD1 CD2; do
  for name in "${names[@]}"; do
    i=$((i + 1))
    sox -n -r 44100 -c 2 -b 16 "$archive/$folder/$name" synth 150 sine $((100 * i)) pinknoise \
      gain -12
  done
done
mkdir -p "$work/one-batch"
"$cli" batch "$archive" "$work/one-batch" --recursive --quiet --level --normalize \
  --work-folder "$work/tmp"
[ "$(find "$work/one-batch" -name '_*.wav' -print0 | tr -cd '\0' | wc -c)" -eq 10 ] || fail "batch wrote other files"
ln -s "$cli" "$work/bin/sonivar-cli"
export PATH="$work/bin:$PATH" TMPDIR=$work/tmp SONIVAR_WORK_FOLDER=$work/tmp
ln -s "$here" "$work/run/contrib"

# A README code block, with the folders of this test in its first line.
recipe() {
  awk -v name="$1" '$0 == "<!-- recipe: " name " -->" { on = 1; next }
                    on && /^```sh/ { inside = 1; next }
                    inside && /^```/ { exit } inside { print }' "$here/../README.md"
}
# The results of a recipe, bytes and names, against one batch; nothing else left.
same_as_batch() {
  local out=$1; shift
  local left
  left=$(find "$out" -name .sonivar-slurm -prune -o -name '.sonivar-*' -print)
  [ -z "$left" ] || fail "left behind: $left"
  diff -r "$@" "$work/one-batch" "$out" >/dev/null || fail "$out differs from one batch"
  [ -z "$(ls -A "$work/tmp")" ] || fail "swap files left: $(ls -A "$work/tmp")"
}

# --- Slurm: the array, one task cancelled part-way, merge, requeue, merge again ---------------
out=$work/slurm-out
(cd "$work/run" && archive=$archive out=$out tasks=3 &&
  eval "$(recipe slurm | tail -n +2)" && echo "$job" > job) || fail "the Slurm recipe did not submit"
job=$(cat "$work/run/job")
report1=$out/.sonivar-slurm/report-1.jsonl
wait_for 120 bash -c "[ -s '$report1' ]" || fail "task 1 reported nothing"
scancel "${job}_1"
wait_for 120 bash -c "[ -z \"\$(squeue -h)\" ]" || fail "the jobs did not end"
grep -q '"status":"cancelled"' "$report1" || fail "task 1 was not cancelled part-way"
[ -s "$out/failed.list0" ] || fail "the first merge listed no failed inputs"
scontrol requeue "${job}_1"
# Slurm holds a requeued task back for about two minutes; the test need not wait for that.
scontrol update JobId="${job}_1" StartTime=now
(cd "$work/run" && archive=$archive out=$out &&
  eval "$(recipe slurm | tail -n 1 | sed 's/^/job='"$job"'; /')")
wait_for 120 bash -c "[ -z \"\$(squeue -h)\" ]" || fail "the requeued task did not end"
grep -q "10 of 10 files done" "$work"/run/sonivar-merge-*.log || fail "merge: $(cat "$work"/run/sonivar-merge-*.log)"
[ ! -s "$out/failed.list0" ] || fail "inputs left in failed.list0"
[ "$(wc -l < "$out/report.jsonl")" -eq 10 ] || fail "the merged report has other lines"
grep -q 'attempt 2' "$work/run/sonivar-${job}_1.log" || fail "the requeued task's log lost its start"
same_as_batch "$out" -x .sonivar-slurm -x report.jsonl -x failed.list0 -x archive.list0

# A step, or an index outside the tasks, is refused.
for array in 0-4:2 3; do
  refused=$(cd "$work/run" && sbatch --parsable --wait --array="$array" contrib/sonivar-array.sbatch \
    --tasks 3 "$out/archive.list0" "$out" 2>/dev/null || true)
  grep -q "refused\|outside\|step" "$work"/run/sonivar-"${refused%%;*}"_*.log ||
    fail "--array=$array was not refused"
done

# --- GNU parallel: killed part-way, then the same recipe again -------------------------------
out=$work/parallel-out
{ printf 'export archive=%q out=%q\n' "$archive" "$out"; recipe parallel | tail -n +2; } \
  > "$work/run/parallel.sh"
(cd "$work/run" && exec setsid bash parallel.sh) &
runner=$!
wait_for 120 bash -c "[ \"\$(cat '$out/report.jsonl' 2>/dev/null | grep -c '\"status\":\"done\"')\" -ge 2 ]" ||
  fail "parallel did not start"
kill -TERM -- -"$runner"
wait "$runner" || true
[ "$(grep -c '"status":"done"' "$out/report.jsonl")" -lt 10 ] || fail "parallel ended before the kill"
(cd "$work/run" && bash parallel.sh) || fail "parallel run again: exit $?"
same_as_batch "$out" -x report.jsonl -x parallel.joblog
echo "test-slurm: the Slurm and parallel recipes, stopped and resumed, write the bytes of one batch"
