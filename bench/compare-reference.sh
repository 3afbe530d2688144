#!/usr/bin/env bash
# Checks the engine's output files against double-precision references written separately from
# it (bench/reference/*.py, numpy). Prints the largest difference in 16-bit steps per stage.
set -euo pipefail
build=${1:-build/bench}
cli=$(realpath "$build/sonivar-cli")
# Debian's numpy belongs to the system interpreter.
py=python3; [ -x /usr/bin/python3 ] && py=/usr/bin/python3
ref=$(cd "$(dirname "$0")" && pwd)/reference
work=$(mktemp -d /var/tmp/sonivar-ref.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
sox -n -r 44100 -c 2 -b 16 music.wav synth 8 sine 220 pinknoise gain -12 2>/dev/null
sox -n -r 44100 -c 1 -b 16 hiss.wav synth 12 whitenoise gain -40 2>/dev/null
sox -n -r 44100 -c 1 -b 16 tone.wav synth 8 sine 440 gain -10 2>/dev/null
sox -n -r 44100 -c 1 -b 16 lead.wav trim 0 4
sox lead.wav tone.wav body.wav
sox -m body.wav hiss.wav noisy1.wav
sox -M noisy1.wav noisy1.wav noisy.wav
sox -n -r 44100 -c 2 -b 16 loud.wav synth 6 pinknoise gain -3 2>/dev/null
"$cli" remaster music.wav level.wav --level --quiet
echo "levelling:      $("$py" "$ref/levelling.py" music.wav level.wav)"
"$cli" remaster noisy.wav denoise.wav --denoise --quiet
echo "noise removal:  $("$py" "$ref/noise_removal.py" noisy.wav denoise.wav)"
"$cli" remaster noisy.wav denoise3.wav --denoise --noise-parts 3 --quiet
echo "noise, 3 parts: $("$py" "$ref/noise_removal.py" noisy.wav denoise3.wav 3)"
"$cli" remaster loud.wav peaks.wav --fit-peaks --peak-count 20 --peak-size 1024 --quiet
echo "peak fitting:   $("$py" "$ref/peak_fitting.py" loud.wav peaks.wav 20 1024)"
"$cli" remaster loud.wav norm.wav --normalize --normalize-db -3 --quiet
echo "normalize:      $("$py" "$ref/normalize.py" loud.wav norm.wav -3)"
