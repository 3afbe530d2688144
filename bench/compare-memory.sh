#!/usr/bin/env bash
# Peak memory (resident set, which does not depend on the machine's load) with a 60-minute
# 44.1 kHz 16-bit stereo file: of the command-line chain with all four stages, of the window
# opening the file, and of the window that has opened it, run Remaster It and plays the result.
# Targets: 32 MiB for the chain, 64 MiB for the window.
#   compare-memory.sh [build folder] [window program]
#   INPUT    a 60-minute stereo WAV made earlier (saves a minute of synthesis)
#   SECONDS_OPEN  how long the window may take to read the file (default 120)
#   SECONDS_PLAYING  how long it plays before the peak is read (default 10)
# The window program (default: sonivar next to the build's sonivar-cli, or build/release/sonivar)
# runs with a home of its own, so remembered settings stay as they are: first on the offscreen
# platform (opening only), then in a virtual X server under openbox with a sound server playing
# into a null sink, driven by keys as a user would (window-playing-memory.sh).
set -euo pipefail
build=${1:-build/bench}
cli=$build/sonivar-cli
window=${2:-}
if [ -z "$window" ]; then
  for candidate in "$build/sonivar" build/release/sonivar; do
    [ -x "$candidate" ] && { window=$candidate; break; }
  done
fi
work=$(mktemp -d /var/tmp/sonivar-bench.XXXXXX)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
  return 0
}
trap cleanup EXIT
if [ -n "${INPUT:-}" ]; then
  ln -s "$(realpath "$INPUT")" "$work/long.wav"
else
  sox -n -r 44100 -c 2 -b 16 "$work/long.wav" synth 3600 pinknoise gain -12
fi
stages=(--denoise --level --fit-peaks --normalize)
chain=$(/usr/bin/time -f '%M %U %S' "$cli" remaster "$work/long.wav" "$work/out.wav" "${stages[@]}" \
        --quiet --work-folder "$work" 2>&1 >/dev/null | tail -1)
read -r kib user sys <<<"$chain"
printf 'chain, 60-minute stereo, four stages: peak RSS %d KiB (%.1f MiB, target 32)  CPU %.2f s\n' \
  "$kib" "$(echo "$kib / 1024" | bc -l)" "$(echo "$user + $sys" | bc -l)"
if [ -z "$window" ]; then
  echo "window: no sonivar program found (build the release preset or name it)"
  exit 0
fi
hwm() { awk '/^VmHWM:/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0; }
mkdir -p "$work/home"
HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share \
  QT_QPA_PLATFORM=offscreen "$window" "$work/long.wav" >/dev/null 2>&1 &
pid=$!
# Reading is over when the peak has not moved for five seconds.
last=0; still=0
for ((s = 0; s < ${SECONDS_OPEN:-120} && still < 5; ++s)); do
  sleep 1
  now=$(hwm "$pid")
  if [ "$now" = "$last" ]; then still=$((still + 1)); else still=0; last=$now; fi
done
printf 'window, 60-minute stereo open: peak RSS %d KiB (%.1f MiB, target 64)\n' \
  "$last" "$(echo "$last / 1024" | bc -l)"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
pid=
"$(dirname "$0")/window-playing-memory.sh" "$window" "$work/long.wav"
