#!/usr/bin/env bash
# Full "Remaster It" (all four stages, default settings) on a 3-minute 44.1 kHz 16-bit stereo file
# against a comparable sox chain on the same file, in one run; then the peak memory of the same
# chain on a 60-minute file.
set -euo pipefail
build=${1:-build/bench}
cli=$build/sonivar-cli
work=$(mktemp -d /var/tmp/sonivar-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
# Music-like material: tones with a noise floor and a quiet lead-in for the noise detection.
sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 178 sine 220 sine 660 tremolo 3 60 gain -9
sox -n -r 44100 -c 2 -b 16 "$work/hiss.wav" synth 180 whitenoise gain -45
sox -n -r 44100 -c 2 -b 16 "$work/lead.wav" trim 0 2
sox "$work/lead.wav" "$work/tone.wav" "$work/body.wav"
sox -m "$work/body.wav" "$work/hiss.wav" "$work/in.wav"
sox "$work/hiss.wav" -n trim 0 2 noiseprof "$work/noise.prof" 2>/dev/null
stages=(--denoise --level --fit-peaks --normalize)
timeit() { local s e; s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N); echo "$e - $s" | bc -l; }
for round in 1 2 3; do
  sv=$(timeit "$cli" remaster "$work/in.wav" "$work/out.wav" "${stages[@]}" --quiet --work-folder "$work")
  sx=$(timeit sox "$work/in.wav" "$work/sox.wav" noisered "$work/noise.prof" 0.21 \
       equalizer 60 1q +3 equalizer 250 1q -2 equalizer 1000 1q +1 equalizer 4000 1q +2 \
       equalizer 12000 1q +3 norm -1)
  printf 'round %d: sonivar %.2f s (%.0fx real time)  sox %.2f s  sox/sonivar %.2f\n' \
    "$round" "$sv" "$(echo "180 / $sv" | bc -l)" "$sx" "$(echo "$sx / $sv" | bc -l)"
done
sox -n -r 44100 -c 2 -b 16 "$work/long.wav" synth 3600 pinknoise gain -12
rss=$(/usr/bin/time -f %M "$cli" remaster "$work/long.wav" "$work/long-out.wav" "${stages[@]}" \
      --quiet --work-folder "$work" 2>&1 >/dev/null | tail -1)
echo "60-minute stereo, all four stages: peak RSS ${rss} KiB"
