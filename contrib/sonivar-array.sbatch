#!/usr/bin/env bash
#SBATCH --job-name=sonivar
#SBATCH --cpus-per-task=2
#SBATCH --mem-per-cpu=128M
#SBATCH --output=sonivar-%A_%a.log
# A Slurm array job over an archive: each task remasters its own contiguous slice of one file
# list with sonivar-cli, and a last step merges the tasks' reports.
#
#   find /archive -name '*.wav' -print0 > archive.list0
#   job=$(sbatch --parsable --array=0-15 contrib/sonivar-array.sbatch archive.list0 /out --level)
#   sbatch --dependency=afterany:$job contrib/sonivar-array.sbatch --merge archive.list0 /out
#
# The list is NUL-separated (any file name works). The array must be one contiguous range
# (0-15, not 0-15:2). A task that is requeued or run again goes on where it stopped: its report
# (DST/.sonivar-slurm/report-K.jsonl) lists the files it has done. Set SONIVAR_CLI to the
# program's path when it is not on PATH.
#
#   contrib/sonivar-array.sbatch --slice K COUNT LIST   prints slice K of COUNT (NUL-separated)
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

merge() {
  local list=$1 dst=$2
  local state="$dst/.sonivar-slurm"
  # awk, not cat: a report torn by a full disk must not glue the next report onto its last line
  awk 1 "$state"/report-*.jsonl > "$dst/report.jsonl"
  local listed done
  listed=$(tr -cd '\0' < "$list" | wc -c)
  done=$(grep -c '"status":"done"' "$dst/report.jsonl" || true)
  echo "sonivar-array: $done of $listed files done; report: $dst/report.jsonl"
  [ "$done" -eq "$listed" ]
}

case "${1:-}" in
  --slice)
    slice "$2" "$3" "$4"
    exit 0 ;;
  --merge)
    merge "$2" "$3"
    exit ;;
  ""|-*)
    echo "usage: sbatch --array=0-N $0 LIST0 DST_DIR [sonivar-cli options]" >&2
    exit 2 ;;
esac

list=$1 dst=$2
shift 2
: "${SLURM_ARRAY_TASK_ID:?run this script with sbatch --array}"
k=$(( SLURM_ARRAY_TASK_ID - ${SLURM_ARRAY_TASK_MIN:-0} ))
count=${SLURM_ARRAY_TASK_COUNT:?run this script with sbatch --array}
state="$dst/.sonivar-slurm"
mkdir -p "$state"
slice "$k" "$count" "$list" > "$state/list-$k"
exec "$cli" batch --files-from0 "$state/list-$k" "$dst" --jobs "${SLURM_CPUS_PER_TASK:-1}" \
  --resume "$state/report-$k.jsonl" --quiet "$@"
