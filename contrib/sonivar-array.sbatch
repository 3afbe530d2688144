#!/usr/bin/env bash
#SBATCH --job-name=sonivar
#SBATCH --cpus-per-task=2
#SBATCH --mem-per-cpu=256M
#SBATCH --output=sonivar-%A_%a.log
#SBATCH --open-mode=append
# A Slurm array job over an archive: task K of TASKS remasters slice K of one NUL-separated file
# list with sonivar-cli batch, keeping its own report; sonivar-merge.sbatch then merges them.
#
#   cd /archive && find . -name '*.wav' -print0 | sort -z > ~/archive.list0
#   tasks=16
#   job=$(sbatch --parsable --array=0-$((tasks - 1)) contrib/sonivar-array.sbatch \
#           --tasks "$tasks" ~/archive.list0 /out --keep-folders . --level --normalize)
#   sbatch --dependency=afterany:"$job" contrib/sonivar-merge.sbatch ~/archive.list0 /out
#
# The slice comes from SLURM_ARRAY_TASK_ID alone, so one index submitted again (--array=5) or
# requeued does exactly its own files; an array with a step (0-15:2) or an index outside
# 0..TASKS-1 is refused (exit 2). Keep the list and TASKS the same between attempts: a task goes
# on where it stopped by its report, DST/.sonivar-slurm/report-K.jsonl. Set SONIVAR_CLI to the
# program's path when it is not on PATH. Swap files go to the node's $TMPDIR (or /tmp).
#
#   sonivar-array.sbatch --slice K TASKS LIST   prints slice K of TASKS (NUL-separated)
set -euo pipefail

cli=${SONIVAR_CLI:-sonivar-cli}

# Slice k of count: entries floor(n*k/count) .. floor(n*(k+1)/count)-1, so the slices are
# contiguous, cover the list once and differ in size by at most one.
slice() {
  local k=$1 count=$2 list=$3
  local -a entries
  mapfile -d '' entries < "$list"
  local n=${#entries[@]}
  local first=$(( n * k / count )) end=$(( n * (k + 1) / count ))
  if (( end > first )); then printf '%s\0' "${entries[@]:first:end-first}"; fi
}

refuse() { echo "sonivar-array: $*" >&2; exit 2; }
usage="usage: sbatch --array=0-N $0 --tasks N+1 LIST0 DST_DIR [sonivar-cli batch options]"

case "${1:-}" in
  --slice)
    slice "$2" "$3" "$4"
    exit 0 ;;
  --tasks)
    [ $# -ge 4 ] || refuse "$usage"
    count=$2
    shift 2 ;;
  *)
    refuse "$usage" ;;
esac
[[ $count =~ ^[1-9][0-9]*$ ]] || refuse "--tasks takes a whole number above 0, not '$count'"
list=$1 dst=$2
shift 2
k=${SLURM_ARRAY_TASK_ID:?run this script with sbatch --array}
step=${SLURM_ARRAY_TASK_STEP:-1}
[ "$step" = 1 ] || refuse "the array has step $step; submit --array=0-$((count - 1)) (step 1)"
(( k >= 0 && k < count )) || refuse "task $k is outside --array=0-$((count - 1)) of --tasks $count"
[ -f "$list" ] || refuse "no list $list"
state="$dst/.sonivar-slurm"
mkdir -p "$state"
slice "$k" "$count" "$list" > "$state/list-$k"
echo "sonivar-array: task $k of $count on $(hostname), $(tr -cd '\0' < "$state/list-$k" | wc -c) files, attempt $((${SLURM_RESTART_COUNT:-0} + 1))"
exec "$cli" batch --files-from0 "$state/list-$k" "$dst" --jobs "${SLURM_CPUS_PER_TASK:-1}" \
  --work-folder "${TMPDIR:-/tmp}" --resume "$state/report-$k.jsonl" --quiet "$@"
