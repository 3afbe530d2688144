#!/usr/bin/env bash
# Load + save of a 60-minute 44.1 kHz 16-bit stereo file against a plain copy, in one run;
# peak memory of the load + save. A second program (an older build) is timed in the same rounds.
#   compare-load-save.sh [build folder] [other sonivar-cli]
set -euo pipefail
build=${1:-build/bench}
cli=$build/sonivar-cli
other=${2:-}
work=$(mktemp -d /var/tmp/sonivar-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
sox -n -r 44100 -c 2 -b 16 "$work/in.wav" synth 3600 pinknoise gain -6
sync
timeit() { local s e; s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N); echo "$e - $s" | bc -l; }
median() { printf '%s\n' "$@" | sort -g | sed -n "$(( ($# + 1) / 2 ))p"; }
cps=(); svs=(); ots=()
for round in 1 2 3 4 5; do
  sync
  cps+=("$(timeit cp "$work/in.wav" "$work/copy.wav")")
  sync
  svs+=("$(timeit "$cli" remaster "$work/in.wav" "$work/out.wav" --quiet --work-folder "$work")")
  if [ -n "$other" ]; then
    sync
    ots+=("$(timeit "$other" remaster "$work/in.wav" "$work/other.wav" --quiet --work-folder "$work")")
  fi
done
cp_t=$(median "${cps[@]}"); sv_t=$(median "${svs[@]}")
cmp -s "$work/in.wav" "$work/out.wav" && same=yes || same=no
rss=$(/usr/bin/time -f %M "$cli" remaster "$work/in.wav" "$work/out2.wav" --quiet --work-folder "$work" 2>&1 >/dev/null | tail -1)
printf 'cp rounds: %s\nsonivar rounds: %s\n' "${cps[*]}" "${svs[*]}"
printf 'median cp: %.2f s  median sonivar-cli remaster (no stages): %.2f s  ratio %.2f  identical: %s  peak RSS %d KiB\n' \
  "$cp_t" "$sv_t" "$(echo "$sv_t / $cp_t" | bc -l)" "$same" "$rss"
if [ -n "$other" ]; then
  ot_t=$(median "${ots[@]}")
  cmp -s "$work/out.wav" "$work/other.wav" && same=yes || same=no
  printf 'other rounds: %s\nmedian other: %.2f s  ratio to cp %.2f  identical output: %s\n' \
    "${ots[*]}" "$ot_t" "$(echo "$ot_t / $cp_t" | bc -l)" "$same"
fi
