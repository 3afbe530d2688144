#!/usr/bin/env bash
# Peak memory of the desktop program with a long file: opened, processed with Remaster It (all
# four stages) and playing. Runs the real program in a virtual X server under
# openbox, with a sound server of its own playing into a null sink, and drives it by keys.
#   window-playing-memory.sh SONIVAR INPUT.wav
#   SECONDS_PLAYING  how long it plays before the peak is read (default 10)
#   SECONDS_WORK     how long opening and processing may each take (default 900)
# Prints the peak resident set (VmHWM) after opening and after playing; the swap files go to a
# folder of their own in $BENCH_TMP (default /var/tmp), removed afterwards.
set -euo pipefail
window=$1 input=$2
. "$(dirname "$0")/virtual-desktop.sh"
bench_needs "window playing" Xvfb openbox xdotool xprop pulseaudio pactl
hwm() { awk '/^VmHWM:/ {print $2}' "/proc/$app/status"; }
alive() { [ -e "/proc/$app/status" ]; }
main_shows() { alive && main=$(xdotool search --onlyvisible --pid "$app" --name 'Sonivar$' 2>/dev/null | head -n 1) && [ -n "$main" ]; }
# Only the main window shows (no progress window), for two seconds on end.
idle() { [ "$(xdotool search --onlyvisible --pid "$app" 2>/dev/null | wc -l)" -eq 1 ]; }
settled() { local n=20; while [ "$n" -gt 0 ]; do idle || return 1; n=$((n - 1)); sleep 0.1; done; }
busy() { ! idle; }
pulse_runs() { pactl info >/dev/null 2>&1; }
playing() { [ -n "$(pactl list short sink-inputs 2>/dev/null)" ]; }

# In a fresh home Remaster It answers with a message instead of running; tick the four stages
# the command-line chain runs.
mkdir -p "$XDG_CONFIG_HOME/sonivar"
{ echo '[controls]'; printf '%s=true\n' removeNoiseCheck levellingCheck fitPeaksCheck normalizeCheck; } \
  >"$XDG_CONFIG_HOME/sonivar/sonivar.conf"
start_desktop
pulseaudio --daemonize=no --exit-idle-time=-1 --disallow-exit -n \
  --log-target=file:"$dir/pulse.txt" --load=module-native-protocol-unix \
  --load="module-null-sink sink_name=bench_sink rate=44100 norewinds=1" 2>/dev/null &
pids+=($!)
within 100 pulse_runs || fail "the sound server did not start"

"$window" "$input" >"$dir/sonivar.txt" 2>&1 &
app=$!
work=$((${SECONDS_WORK:-900} * 10))
within "$work" main_shows || fail "the window did not show"
within "$work" settled || fail "reading the file did not end"
main_shows || fail "the window closed"  # the main window now, not a splash that showed first
opened=$(hwm)
printf 'window under X, 60-minute stereo open: peak RSS %d KiB (%.1f MiB)\n' \
  "$opened" "$(echo "$opened / 1024" | bc -l)"
start=$(date +%s.%N)
xdotool windowactivate --sync "$main" key --clearmodifiers ctrl+Return
within 100 busy || fail "Ctrl+Return did not start Remaster It"
within "$work" settled || fail "Remaster It did not end"
printf 'Remaster It in the window: %.1f s, peak RSS so far %d KiB\n' \
  "$(echo "$(date +%s.%N) - $start" | bc -l)" "$(hwm)"
xdotool windowactivate --sync "$main" key --clearmodifiers space
within 100 playing || fail "Space did not start playback"
sleep "${SECONDS_PLAYING:-10}"
playing || fail "playback stopped early"
peak=$(hwm)
printf 'window, 60-minute stereo open, processed and playing: peak RSS %d KiB (%.1f MiB, target 64)\n' \
  "$peak" "$(echo "$peak / 1024" | bc -l)"
