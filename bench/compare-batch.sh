#!/usr/bin/env bash
# batch of 8 generated three-minute stereo files, all four stages: on one core (--jobs 1) against
# the default (one worker on every core), in one run. Prints both wall times, their ratio,
# the peak memory of each run, and whether the outputs are byte-identical. Then an uneven batch
# (two of the files and one three times as long) the same two ways: the workers take the long
# file first, and once the short ones are done the idle worker lends its core to it.
# The machine may be shared: the two ways alternate ROUNDS times (default 3) and each keeps its
# fastest run; the CPU seconds of that run and the load average are printed with the ratios.
# A second program (an older build), if named, runs both ways in the same rounds; its outputs
# are compared byte for byte.
#   compare-batch.sh [build folder] [other sonivar-cli]
set -euo pipefail
build=${1:-build/release}
cli=$build/sonivar-cli
other=${2:-}
work=$(mktemp -d "${BENCH_TMP:-/var/tmp}/sonivar-batch-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src" "$work/one" "$work/many" "$work/swap" "$work/uneven" "$work/uneven-one" \
  "$work/uneven-many"
# Music-like material: tones over a noise floor after a quiet lead-in, different in each file.
sox -n -r 44100 -c 2 -b 16 "$work/lead.wav" trim 0 2
for i in 1 2 3 4 5 6 7 8; do
  sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 178 sine $((110 * i)) sine $((330 + 50 * i)) \
    tremolo $((i + 1)) 60 gain -9
  sox -n -r 44100 -c 2 -b 16 "$work/hiss.wav" synth 180 whitenoise gain -45
  sox "$work/lead.wav" "$work/tone.wav" "$work/body.wav"
  sox -m "$work/body.wav" "$work/hiss.wav" "$work/src/track$i.wav"
done
stages=(--denoise --level --fit-peaks --normalize)
run() {  # run OUT_DIR [options]: prints "wall-seconds cpu-seconds peak-KiB"
  local out=$1; shift
  /usr/bin/time -f '%e %U %S %M' "${program:-$cli}" batch "${src:-$work/src}" "$out" "${stages[@]}" --quiet \
    --work-folder "$work/swap" "$@" 2>&1 >/dev/null | tail -1 |
    awk '{ print $1, $2 + $3, $4 }'
}
# best OUT_DIR [options]: the fastest of ROUNDS runs, as "wall cpu peak-KiB"
best() {
  local out=$1; shift
  local result
  rm -rf "$out" && mkdir -p "$out" && result=$(run "$out" "$@")
  if [ -z "${fastest[$out]:-}" ] || (($(echo "${result%% *} < ${fastest[$out]%% *}" | bc))); then
    fastest[$out]=$result
  fi
}
declare -A fastest
compare() {  # compare ONE_OUT MANY_OUT: alternating rounds
  for ((round = 0; round < ${ROUNDS:-3}; ++round)); do
    best "$1" --jobs 1
    best "$2"
    if [ -n "$other" ]; then
      program=$other best "$1-other" --jobs 1
      program=$other best "$2-other"
    fi
  done
  read -r one one_cpu one_rss <<<"${fastest[$1]}"
  read -r many many_cpu many_rss <<<"${fastest[$2]}"
}
# other_figures ONE_OUT MANY_OUT: the other program's figures and whether its outputs match
other_figures() {
  [ -n "$other" ] || return 0
  local o oc m mc
  read -r o oc _ <<<"${fastest[$1-other]}"
  read -r m mc _ <<<"${fastest[$2-other]}"
  diff -r "$1" "$1-other" >/dev/null && diff -r "$2" "$2-other" >/dev/null && same=yes || same=no
  printf 'other:    --jobs 1 %.2f s wall, %.2f s CPU; default %.2f s wall, %.2f s CPU; ratio %.2f; identical outputs: %s\n' \
    "$o" "$oc" "$m" "$mc" "$(echo "$m / $o" | bc -l)" "$same"
}
compare "$work/one" "$work/many"
printf 'cores %d, load %s, fastest of %d rounds each\n' "$(nproc)" \
  "$(cut -d' ' -f1-3 /proc/loadavg)" "${ROUNDS:-3}"
printf -- '--jobs 1: %.2f s wall, %.2f s CPU, peak RSS %d KiB\n' "$one" "$one_cpu" "$one_rss"
printf 'default:  %.2f s wall, %.2f s CPU, peak RSS %d KiB\n' "$many" "$many_cpu" "$many_rss"
printf 'ratio default / --jobs 1: %.2f (at most 0.55 wanted)\n' "$(echo "$many / $one" | bc -l)"
if diff -r "$work/one" "$work/many" >/dev/null; then
  echo "outputs: byte-identical ($(ls "$work/many" | wc -l) files)"
else
  echo "outputs: DIFFER"; exit 1
fi
other_figures "$work/one" "$work/many"
cp "$work/src/track1.wav" "$work/src/track2.wav" "$work/uneven/"
sox "$work/src/track3.wav" "$work/src/track4.wav" "$work/src/track5.wav" "$work/uneven/track9.wav"
src=$work/uneven
compare "$work/uneven-one" "$work/uneven-many"
printf 'load %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
printf -- 'uneven, --jobs 1: %.2f s wall, %.2f s CPU\n' "$one" "$one_cpu"
printf 'uneven, default:  %.2f s wall, %.2f s CPU, ratio %.2f (at most 0.65 wanted)\n' "$many" \
  "$many_cpu" "$(echo "$many / $one" | bc -l)"
diff -r "$work/uneven-one" "$work/uneven-many" >/dev/null || { echo "uneven outputs: DIFFER"; exit 1; }
other_figures "$work/uneven-one" "$work/uneven-many"
