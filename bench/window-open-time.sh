#!/usr/bin/env bash
# Time from starting the desktop program with a file to its window showing that file, with no
# progress window left: the 12-second demo against a 60-minute 44.1 kHz 16-bit stereo WAV, in
# one run (alternating, ROUNDS times, default 3; medians). Runs the real program in a virtual X
# server under openbox. The start-up (splash included) is the same for both, so the difference of
# the medians is what the long file adds before its waveform can be drawn.
#   window-open-time.sh SONIVAR [LONG.wav]
set -euo pipefail
window=$1 long=${2:-}
. "$(dirname "$0")/virtual-desktop.sh"
bench_needs "window open time" Xvfb openbox xdotool xprop sox
poll_steps=10 poll_sleep=0.01  # the time to the window is the figure: poll finely
# The main window carries the file's name, and it is the only window of the program showing.
shows() {
  [ -n "$(xdotool search --all --onlyvisible --pid "$app" --name "^$1" 2>/dev/null)" ] &&
    [ "$(xdotool search --onlyvisible --pid "$app" 2>/dev/null | wc -l)" -eq 1 ]
}
median() { printf '%s\n' "$@" | sort -g | sed -n "$(( ($# + 1) / 2 ))p"; }

sox -n -r 44100 -c 2 -b 16 "$dir/demo.wav" synth 12 pinknoise gain -6
if [ -z "$long" ]; then
  long=$dir/long.wav
  sox -n -r 44100 -c 2 -b 16 "$long" synth 3600 pinknoise gain -6
fi
start_desktop

# Seconds until the window shows file $1.
open_time() {
  local start end
  start=$(date +%s.%N)
  "$window" "$1" >/dev/null 2>&1 &
  app=$!
  within 9000 shows "$(basename "$1")" || fail "the window did not show $1"
  end=$(date +%s.%N)
  kill -KILL "$app"; wait "$app" 2>/dev/null || true; app=
  echo "$end - $start" | bc -l
}
declare -a d l
for ((round = 1; round <= ${ROUNDS:-3}; round++)); do
  d+=("$(open_time "$dir/demo.wav")")
  l+=("$(open_time "$long")")
  printf 'round %d: demo %.2f s  60 minutes %.2f s\n' "$round" "${d[-1]}" "${l[-1]}"
done
dm=$(median "${d[@]}") lm=$(median "${l[@]}")
printf 'median: demo %.2f s  60 minutes %.2f s  difference %.2f s (target 1)\n' "$dm" "$lm" \
  "$(echo "$lm - $dm" | bc -l)"
