#!/usr/bin/env bash
# Opening a 60-minute 44.1 kHz 16-bit stereo WAV file the way the window does, against the
# 12-second demo's length, in one run: samples read in place (the window today) and copied to the
# swap file (as it did before). The window's own start-up is the same for both lengths, so the
# difference of the two opening times is what the long file adds to the time until its waveform.
#   compare-open.sh [build folder]
#   INPUT    a 60-minute stereo WAV made earlier (saves a minute of synthesis)
set -euo pipefail
build=${1:-build/bench}
work=$(mktemp -d /var/tmp/sonivar-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
if [ -n "${INPUT:-}" ]; then
  ln -s "$(realpath "$INPUT")" "$work/long.wav"
else
  sox -n -r 44100 -c 2 -b 16 "$work/long.wav" synth 3600 pinknoise gain -6
fi
sox -n -r 44100 -c 2 -b 16 "$work/demo.wav" synth 12 pinknoise gain -6
SONIVAR_BENCH_DIR=$work SONIVAR_OPEN_FILES=$work/demo.wav:$work/long.wav \
  "$build/bench/bench_open" --benchmark_repetitions="${ROUNDS:-3}" \
  --benchmark_report_aggregates_only=true --benchmark_enable_random_interleaving=true
