#!/usr/bin/env bash
# batch with --report against the same batch without it, side by side in one run: generated
# two-minute stereo files, --level --normalize, each way three times in turn (the fastest of each
# counts). Prints both times, their ratio (at most 1.05 wanted) and whether the outputs are
# byte-identical.
#   bench/compare-report.sh [build/release] [files]
set -euo pipefail
build=${1:-build/release}
files=${2:-4}
cli=$build/sonivar-cli
work=$(mktemp -d "${BENCH_TMP:-/var/tmp}/sonivar-report-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src" "$work/swap"
for ((i = 1; i <= files; i++)); do
  sox -n -r 44100 -c 2 -b 16 "$work/src/track$i.wav" synth 120 sine $((110 * i)) pinknoise \
    tremolo $((i + 1)) 40 gain -12
done
run() {  # run OUT_DIR [options]: prints the wall seconds
  rm -rf "$1"; mkdir -p "$1"
  local out=$1; shift
  /usr/bin/time -f '%e' "$cli" batch "$work/src" "$out" --level --normalize --quiet --jobs 1 \
    --work-folder "$work/swap" "$@" 2>&1 >/dev/null | tail -1
}
plain=999 report=999
for _ in 1 2 3; do
  t=$(run "$work/plain"); plain=$(echo "if ($t < $plain) $t else $plain" | bc -l)
  rm -f "$work/report.jsonl"
  t=$(run "$work/report" --report "$work/report.jsonl")
  report=$(echo "if ($t < $report) $t else $report" | bc -l)
done
printf 'load %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
printf 'batch:          %.2f s\n' "$plain"
printf 'batch --report: %.2f s\n' "$report"
printf 'ratio --report / without: %.3f (at most 1.05 wanted)\n' "$(echo "$report / $plain" | bc -l)"
[ "$(grep -c '"status":"done"' "$work/report.jsonl")" -eq "$files" ] || { echo "report: incomplete"; exit 1; }
if diff -r "$work/plain" "$work/report" >/dev/null; then
  echo "outputs: byte-identical ($files files)"
else
  echo "outputs: DIFFER"; exit 1
fi
