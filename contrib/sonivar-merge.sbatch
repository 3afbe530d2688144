#!/usr/bin/env bash
#SBATCH --job-name=sonivar-merge
#SBATCH --cpus-per-task=1
#SBATCH --mem=256M
#SBATCH --output=sonivar-merge-%j.log
#SBATCH --open-mode=append
# Merges the reports of a sonivar-array.sbatch job (submit it with --dependency=afterany:JOB):
# DST/report.jsonl gets the last record of each input of the list, DST/failed.list0 the inputs
# not done (NUL-separated, ready for a new array). Fails unless every input is done. Submit it
# again after requeueing tasks of the array.
#   sbatch --dependency=afterany:JOB sonivar-merge.sbatch LIST0 DST_DIR
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: sbatch $0 LIST0 DST_DIR" >&2; exit 2; }
exec "${SONIVAR_CLI:-sonivar-cli}" batch --files-from0 "$1" "$2" --merge-reports "$2/.sonivar-slurm"
