#!/usr/bin/env bash
# Runs the README's "Large archives" recipes on a handful of generated files and checks that
# they write the same files as one batch: GNU parallel on one machine, and the Slurm array
# script with its tasks run one after the other as Slurm would (no Slurm needed). Also checks
# the script's slicing on awkward names.
#   contrib/test-recipes.sh [path/to/sonivar-cli]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=$(realpath "${1:-build/release/sonivar-cli}")
work=$(mktemp -d /tmp/sonivar-recipes.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "test-recipes: FAILED: $*" >&2; exit 1; }

# --- slicing: every entry exactly once, in order, for any task count ----------------------
printf '%s\0' "a b.wav" $'line\nbreak.wav' " lead.wav" "c.wav" "d.wav" "e.wav" "f.wav" \
  > "$work/names.list0"
for count in 1 2 3 7 10; do
  : > "$work/joined"
  for ((k = 0; k < count; k++)); do
    "$here/sonivar-array.sbatch" --slice "$k" "$count" "$work/names.list0" >> "$work/joined"
  done
  cmp -s "$work/joined" "$work/names.list0" || fail "slices of $count do not rebuild the list"
done
sizes=$(for k in 0 1 2; do "$here/sonivar-array.sbatch" --slice "$k" 3 "$work/names.list0" |
        tr -cd '\0' | wc -c; done | tr '\n' ' ')
[ "$sizes" = "2 2 3 " ] || fail "slice sizes of 7 entries in 3 tasks: $sizes"

# --- a handful of files, one of them with a space in its name -----------------------------
mkdir -p "$work/in" "$work/swap"
for i in 1 2 3 4 5; do
  name="take $i.wav"; [ "$i" -eq 3 ] && name="take3.wav"
  sox -n -r 44100 -c 2 -b 16 "$work/in/$name" synth 8 sine $((200 * i)) pinknoise gain -12
done
stages=(--level --normalize --work-folder "$work/swap")
mkdir -p "$work/one-batch"
"$cli" batch "$work/in" "$work/one-batch" --quiet "${stages[@]}"

# --- recipe 1: GNU parallel over a file list on one machine --------------------------------
mkdir -p "$work/parallel-out"
parallel_recipe() {
  (cd "$work/in" && find . -name '*.wav' -print0 | sort -z |
    parallel -0 --will-cite -j "$(nproc)" --joblog "$work/parallel.joblog" --resume-failed \
      "$cli" remaster --json --quiet "${stages[@]}" -- {} "$work/parallel-out/_{/}" \
      >> "$work/parallel-report.jsonl")
}
parallel_recipe
parallel_recipe  # run again: the joblog says every file is done
diff -r "$work/one-batch" "$work/parallel-out" >/dev/null || fail "parallel wrote other files"
[ "$(grep -c '"status":"done"' "$work/parallel-report.jsonl")" -eq 5 ] ||
  fail "parallel report: $(cat "$work/parallel-report.jsonl")"

# --- recipe 2: the Slurm array script, tasks run as Slurm would run them -------------------
mkdir -p "$work/slurm-out"
(cd "$work" && find in/ -name '*.wav' -print0 > archive.list0)
export SONIVAR_CLI=$cli
array() {  # array TASK_ID [STEP]: the script as task TASK_ID of a three-task array
  (cd "$work" && SLURM_ARRAY_TASK_ID=$1 SLURM_ARRAY_TASK_STEP=${2:-1} SLURM_CPUS_PER_TASK=2 \
    "$here/sonivar-array.sbatch" --tasks 3 archive.list0 slurm-out "${stages[@]}")
}
# Real Slurm counts an array of one index (--array=1, a task run again) as one task: the slice
# must come from the task's index alone.
for k in 0 1 2; do SLURM_ARRAY_TASK_COUNT=1 array "$k"; done
array 1  # a task run again (requeued) redoes nothing
for refused in "3 1" "0 2"; do  # an index outside the tasks, an array with a step
  if array $refused 2>/dev/null; then fail "task $refused was not refused"; fi
done
(cd "$work" && "$here/sonivar-merge.sbatch" archive.list0 slurm-out) > "$work/merge.txt" 2>&1 ||
  fail "merge: $(cat "$work/merge.txt")"
grep -q "5 of 5 files done" "$work/merge.txt" || fail "merge: $(cat "$work/merge.txt")"
[ "$(wc -l < "$work/slurm-out/report.jsonl")" -eq 5 ] || fail "merged report has other lines"
[ ! -s "$work/slurm-out/failed.list0" ] || fail "merge listed failed inputs"
rm -r "$work/slurm-out/.sonivar-slurm" "$work/slurm-out/report.jsonl" "$work/slurm-out/failed.list0"
diff -r "$work/one-batch" "$work/slurm-out" >/dev/null || fail "the array job wrote other files"
echo "test-recipes: parallel and Slurm array recipes write the same files as one batch"
