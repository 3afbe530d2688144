#!/usr/bin/env bash
# batch with --report against the same batch without it, side by side in one run: generated
# two-minute stereo files, --level --normalize, each way ROUNDS times in turn (default 5; the
# fastest of each counts). Prints both times, their ratio (at most 1.05 wanted), the same for
# processor time (user + system, steadier than wall time on a shared machine) and whether the
# outputs are byte-identical.
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
run() {  # run OUT_DIR [options]: prints the wall seconds and the processor seconds
  rm -rf "$1"; mkdir -p "$1"
  local out=$1; shift
  /usr/bin/time -f '%e %U %S' "$cli" batch "$work/src" "$out" --level --normalize --quiet \
    --jobs 1 --work-folder "$work/swap" "$@" 2>&1 >/dev/null | tail -1 |
    awk '{ printf "%s %.2f\n", $1, $2 + $3 }'
}
least() { echo "if ($1 < $2) $1 else $2" | bc -l; }
plain=999 report=999 plainCpu=999 reportCpu=999
for ((round = 0; round < ${ROUNDS:-5}; ++round)); do
  read -r t c < <(run "$work/plain")
  plain=$(least "$t" "$plain") plainCpu=$(least "$c" "$plainCpu")
  rm -f "$work/report.jsonl"
  read -r t c < <(run "$work/report" --report "$work/report.jsonl")
  report=$(least "$t" "$report") reportCpu=$(least "$c" "$reportCpu")
done
printf 'load %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
printf 'batch:          %.2f s (processor %.2f s)\n' "$plain" "$plainCpu"
printf 'batch --report: %.2f s (processor %.2f s)\n' "$report" "$reportCpu"
printf 'ratio --report / without: %.3f (at most 1.05 wanted); processor time %.3f\n' \
  "$(echo "$report / $plain" | bc -l)" "$(echo "$reportCpu / $plainCpu" | bc -l)"
[ "$(grep -c '"status":"done"' "$work/report.jsonl")" -eq "$files" ] || { echo "report: incomplete"; exit 1; }
if diff -r "$work/plain" "$work/report" >/dev/null; then
  echo "outputs: byte-identical ($files files)"
else
  echo "outputs: DIFFER"; exit 1
fi
