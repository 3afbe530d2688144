#!/usr/bin/env bash
# Full "Remaster It" (all four stages, default settings) on a 3-minute 44.1 kHz 16-bit stereo file
# against a comparable sox chain on the same file, in one run; then the peak memory of the same
# chain on a 60-minute file. A second program (an older build) is timed in the same rounds and
# its output compared byte for byte.
#   compare-remaster.sh [build folder] [other sonivar-cli]
set -euo pipefail
build=${1:-build/bench}
cli=$build/sonivar-cli
other=${2:-}
work=$(mktemp -d /var/tmp/sonivar-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
# Music-like material: tones with a noise floor and a quiet lead-in for the noise detection.
sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 178 sine 220 sine 660 tremolo 3 60 gain -9
sox -n -r 44100 -c 2 -b 16 "$work/hiss.wav" synth 180 whitenoise gain -45
sox -n -r 44100 -c 2 -b 16 "$work/lead.wav" trim 0 2
sox "$work/lead.wav" "$work/tone.wav" "$work/body.wav"
sox -m "$work/body.wav" "$work/hiss.wav" "$work/in.wav"
sox "$work/hiss.wav" -n trim 0 2 noiseprof "$work/noise.prof" 2>/dev/null
# The inputs written out first: else the first save's journal commit also writes the 130 MB
# sox just made, which only the first program timed (sonivar, which syncs) pays for.
sync
stages=(--denoise --level --fit-peaks --normalize)
timeit() { local s e; s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N); echo "$e - $s" | bc -l; }
# CPU seconds (user + system) of one run.
cputime() { /usr/bin/time -f '%U %S' "$@" 2>&1 >/dev/null | tail -1 | awk '{print $1 + $2}'; }
for round in 1 2 3; do
  sv=$(timeit "$cli" remaster "$work/in.wav" "$work/out.wav" "${stages[@]}" --quiet --work-folder "$work")
  sx=$(timeit sox "$work/in.wav" "$work/sox.wav" noisered "$work/noise.prof" 0.21 \
       equalizer 60 1q +3 equalizer 250 1q -2 equalizer 1000 1q +1 equalizer 4000 1q +2 \
       equalizer 12000 1q +3 norm -1)
  # On a shared machine the ratios follow the load: each round names it.
  printf 'round %d: sonivar %.2f s (%.0fx real time)  sox %.2f s  sonivar/sox %.2f  load %s' \
    "$round" "$sv" "$(echo "180 / $sv" | bc -l)" "$sx" "$(echo "$sv / $sx" | bc -l)" \
    "$(cut -d' ' -f1 /proc/loadavg)"
  if [ -n "$other" ]; then
    ot=$(timeit "$other" remaster "$work/in.wav" "$work/other.wav" "${stages[@]}" --quiet \
         --work-folder "$work")
    cmp -s "$work/out.wav" "$work/other.wav" && same=yes || same=no
    printf '  other %.2f s  other/sox %.2f  identical output: %s' "$ot" "$(echo "$ot / $sx" | bc -l)" "$same"
  fi
  printf '\n'
done
cpu=$(cputime "$cli" remaster "$work/in.wav" "$work/out.wav" "${stages[@]}" --quiet --work-folder "$work")
soxcpu=$(cputime sox "$work/in.wav" "$work/sox.wav" noisered "$work/noise.prof" 0.21 \
         equalizer 60 1q +3 equalizer 250 1q -2 equalizer 1000 1q +1 equalizer 4000 1q +2 \
         equalizer 12000 1q +3 norm -1)
# On a shared machine CPU seconds are steadier than wall time.
printf 'CPU seconds (user + system): sonivar %.2f  sox %.2f  sonivar/sox %.2f' "$cpu" "$soxcpu" \
  "$(echo "$cpu / $soxcpu" | bc -l)"
if [ -n "$other" ]; then
  printf '  other %.2f' "$(cputime "$other" remaster "$work/in.wav" "$work/other.wav" "${stages[@]}" \
    --quiet --work-folder "$work")"
fi
printf '\n'
# Where the time goes: each stage alone (the first includes loading and saving like the others).
for stage in "${stages[@]}"; do
  printf '  %-12s CPU %.2f s  wall %.2f s\n' "$stage" \
    "$(cputime "$cli" remaster "$work/in.wav" "$work/stage.wav" "$stage" --quiet --work-folder "$work")" \
    "$(timeit "$cli" remaster "$work/in.wav" "$work/stage.wav" "$stage" --quiet --work-folder "$work")"
done
sox -n -r 44100 -c 2 -b 16 "$work/long.wav" synth 3600 pinknoise gain -12
rss=$(/usr/bin/time -f %M "$cli" remaster "$work/long.wav" "$work/long-out.wav" "${stages[@]}" \
      --quiet --work-folder "$work" 2>&1 >/dev/null | tail -1)
echo "60-minute stereo, all four stages: peak RSS ${rss} KiB"
