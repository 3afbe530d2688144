#!/usr/bin/env bash
# Integrated loudness, loudness range and true peak of a 60-minute 44.1 kHz 16-bit stereo file:
# `sonivar-cli info` against ffmpeg's meter with true peak, in one run (interleaved rounds,
# medians of wall and CPU seconds). A second program (an older build) is timed in the same
# rounds, and the true peaks of both are printed for music-like tones, noise and a tone near the
# Nyquist frequency.
#   compare-loudness.sh [build folder] [other sonivar-cli]
#   ROUNDS   rounds (default 3)
#   INPUT    a 60-minute stereo WAV made earlier (saves a minute of synthesis)
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
# "wall cpu" seconds of one run.
timeit() { /usr/bin/time -f '%e %U %S' "$@" 2>&1 >/dev/null | tail -1 | awk '{print $1, $2 + $3}'; }
median() { printf '%s\n' "$@" | sort -g | sed -n "$(( ($# + 1) / 2 ))p"; }
declare -a sw sc fw fc ow oc
for ((round = 1; round <= rounds; round++)); do
  read -r w c < <(timeit "$cli" info "$work/in.wav"); sw+=("$w"); sc+=("$c")
  read -r w c < <(timeit ffmpeg -nostdin -hide_banner -nostats -i "$work/in.wav" -af ebur128=peak=true -f null -); fw+=("$w"); fc+=("$c")
  if [ -n "$other" ]; then
    read -r w c < <(timeit "$other" info "$work/in.wav"); ow+=("$w"); oc+=("$c")
  fi
  printf 'round %d: sonivar %s s  ffmpeg %s s%s\n' "$round" "${sw[-1]}" "${fw[-1]}" \
    "${other:+  other ${ow[-1]:-} s}"
done
s=$(median "${sw[@]}"); f=$(median "${fw[@]}")
printf 'median wall: sonivar %.2f s  ffmpeg %.2f s  ratio %.3f\n' "$s" "$f" "$(echo "$s / $f" | bc -l)"
printf 'median CPU:  sonivar %.2f s  ffmpeg %.2f s  ratio %.3f\n' "$(median "${sc[@]}")" \
  "$(median "${fc[@]}")" "$(echo "$(median "${sc[@]}") / $(median "${fc[@]}")" | bc -l)"
if [ -n "$other" ]; then
  o=$(median "${ow[@]}")
  printf 'median wall: other %.2f s  ratio to ffmpeg %.3f  sonivar/other %.3f\n' "$o" \
    "$(echo "$o / $f" | bc -l)" "$(echo "$s / $o" | bc -l)"
fi
# The figures: the whole file, then short files of three kinds.
sox -n -r 44100 -c 2 -b 16 "$work/music.wav" synth 20 sine 220 sine 3300 tremolo 3 60 gain -3
sox -n -r 48000 -c 2 -b 24 "$work/noise.wav" synth 20 whitenoise gain -4
sox -n -r 44100 -c 2 -b 16 "$work/nyquist.wav" synth 20 sine 21500 gain -2
for f in in music noise nyquist; do
  figures() { "$1" info "$work/$f.wav" | grep -E '^(integrated_lufs|loudness_range_lu|true_peak_dbtp)' | tr '\n' ' '; }
  printf '%-8s sonivar: %s\n' "$f" "$(figures "$cli")"
  [ -z "$other" ] || printf '%-8s other:   %s\n' "$f" "$(figures "$other")"
done
