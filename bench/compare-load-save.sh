#!/usr/bin/env bash
# Load + save of a 60-minute 44.1 kHz 16-bit stereo file against a plain copy, in one run; peak
# memory of the load + save. A second program (an older build) is timed in the same rounds.
#   compare-load-save.sh [build folder] [other sonivar-cli]
#   ROUNDS   rounds (default 3); the figures are medians
#   INPUT    a 60-minute stereo WAV made earlier (saves a minute of synthesis)
# A plain cp leaves its copy in the page cache, while a save is synced to the disk; the copy
# followed by a sync of that one file is timed as well, for a like-for-like figure.
# Memory a run frees is quick to use again for a short while on some virtual machines, which
# would favour whatever runs next; every timed command therefore starts after a pause (SETTLE
# seconds, default 5), and the two programs take turns at going first.
set -euo pipefail
build=${1:-build/bench}
cli=$build/sonivar-cli
other=${2:-}
rounds=${ROUNDS:-3}
work=$(mktemp -d /var/tmp/sonivar-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
if [ -n "${INPUT:-}" ]; then
  ln -s "$(realpath "$INPUT")" "$work/in.wav"
else
  sox -n -r 44100 -c 2 -b 16 "$work/in.wav" synth 3600 pinknoise gain -6
fi
sync
timeit() { local s e; s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N); echo "$e - $s" | bc -l; }
median() { printf '%s\n' "$@" | sort -g | sed -n "$(( ($# + 1) / 2 ))p"; }
settle() { sync; sleep "${SETTLE:-5}"; }
copy_and_sync() { cp "$1" "$2" && sync "$2"; }
timed_sonivar() {
  settle
  svs+=("$(timeit "$cli" remaster "$work/in.wav" "$work/out.wav" --quiet --work-folder "$work")")
}
timed_other() {
  settle
  ots+=("$(timeit "$other" remaster "$work/in.wav" "$work/other.wav" --quiet --work-folder "$work")")
}
cps=(); css=(); svs=(); ots=()
for ((round = 1; round <= rounds; round++)); do
  settle
  cps+=("$(timeit cp "$work/in.wav" "$work/copy.wav")")
  settle
  css+=("$(timeit copy_and_sync "$work/in.wav" "$work/synced.wav")")
  if [ -z "$other" ]; then
    timed_sonivar
  elif ((round % 2)); then
    timed_sonivar; timed_other
  else
    timed_other; timed_sonivar
  fi
done
cp_t=$(median "${cps[@]}"); cs_t=$(median "${css[@]}"); sv_t=$(median "${svs[@]}")
cmp -s "$work/in.wav" "$work/out.wav" && same=yes || same=no
rss=$(/usr/bin/time -f %M "$cli" remaster "$work/in.wav" "$work/out2.wav" --quiet --work-folder "$work" 2>&1 >/dev/null | tail -1)
printf 'cp rounds: %s\ncp + sync rounds: %s\nsonivar rounds: %s\n' "${cps[*]}" "${css[*]}" "${svs[*]}"
printf 'median cp: %.2f s  cp + sync: %.2f s  sonivar-cli remaster (no stages): %.2f s\n' \
  "$cp_t" "$cs_t" "$sv_t"
printf 'ratio to cp %.2f  to cp + sync %.2f  identical: %s  peak RSS %d KiB\n' \
  "$(echo "$sv_t / $cp_t" | bc -l)" "$(echo "$sv_t / $cs_t" | bc -l)" "$same" "$rss"
if [ -n "$other" ]; then
  ot_t=$(median "${ots[@]}")
  cmp -s "$work/out.wav" "$work/other.wav" && same=yes || same=no
  printf 'other rounds: %s\nmedian other: %.2f s  ratio to cp %.2f  to cp + sync %.2f  identical output: %s\n' \
    "${ots[*]}" "$ot_t" "$(echo "$ot_t / $cp_t" | bc -l)" "$(echo "$ot_t / $cs_t" | bc -l)" "$same"
fi
