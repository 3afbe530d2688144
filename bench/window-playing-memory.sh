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
for tool in Xvfb openbox xdotool xprop pulseaudio pactl; do
  command -v "$tool" >/dev/null || { echo "window playing: no $tool (scripts/install-deps)"; exit 0; }
done
dir=$(mktemp -d "${BENCH_TMP:-/var/tmp}/sonivar-window.XXXXXX")
pids=() app=
# The window would ask to save its processed document on SIGTERM: killed, its swap files go
# with the folder.
stop() {
  [ -n "$app" ] && kill -KILL "$app" 2>/dev/null
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$dir"
  return 0
}
trap stop EXIT
fail() { echo "window playing: $*"; tail -n 5 "$dir"/*.txt 2>/dev/null; exit 1; }
# Retries the command in the remaining arguments for at most $1 tenths of a second.
within() {
  local n=$1; shift
  until "$@"; do n=$((n - 1)); [ "$n" -gt 0 ] || return 1; sleep 0.1; done
}
hwm() { awk '/^VmHWM:/ {print $2}' "/proc/$app/status"; }
alive() { [ -e "/proc/$app/status" ]; }
main_shows() { alive && main=$(xdotool search --onlyvisible --pid "$app" --name 'Sonivar$' 2>/dev/null | head -n 1) && [ -n "$main" ]; }
# Only the main window shows (no progress window), for two seconds on end.
idle() { [ "$(xdotool search --onlyvisible --pid "$app" 2>/dev/null | wc -l)" -eq 1 ]; }
settled() { local n=20; while [ "$n" -gt 0 ]; do idle || return 1; n=$((n - 1)); sleep 0.1; done; }
busy() { ! idle; }
wm_runs() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
pulse_runs() { pactl info >/dev/null 2>&1; }
playing() { [ -n "$(pactl list short sink-inputs 2>/dev/null)" ]; }

mkdir -m 700 "$dir/runtime" "$dir/work" "$dir/home"
export XDG_RUNTIME_DIR=$dir/runtime SONIVAR_WORK_FOLDER=$dir/work HOME=$dir/home
export XDG_CONFIG_HOME=$dir/home/.config XDG_DATA_HOME=$dir/home/.local/share
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
# In a fresh home Remaster It answers with a message instead of running; tick the four stages
# the command-line chain runs.
mkdir -p "$XDG_CONFIG_HOME/sonivar"
{ echo '[controls]'; printf '%s=true\n' removeNoiseCheck levellingCheck fitPeaksCheck normalizeCheck; } \
  >"$XDG_CONFIG_HOME/sonivar/sonivar.conf"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" 2>/dev/null &
pids+=($!)
within 300 test -s "$dir/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n 1 "$dir/display")"
openbox >"$dir/openbox.txt" 2>&1 &
pids+=($!)
within 300 wm_runs || fail "openbox did not start"
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
