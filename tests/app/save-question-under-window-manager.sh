#!/bin/sh
# The real program under openbox in a virtual display, with unsaved data: Alt+F4 and Escape at
# the save question keep it running with its document; Alt+F4 and No end it, leaving no swap.
# Usage: save-question-under-window-manager.sh PATH-TO-SONIVAR
set -u
for tool in Xvfb openbox xdotool xprop sox; do
  command -v "$tool" >/dev/null || { echo "skipped: no $tool (scripts/install-deps)"; exit 77; }
done
dir=$(mktemp -d)
pids=
trap 'for p in $pids; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$dir"' EXIT
trap 'exit 1' INT TERM
fail() {
  echo "FAIL: $*"
  tail -n 20 "$dir"/*.txt 2>/dev/null
  exit 1
}
# Retries the command in the remaining arguments for at most $1 tenths of a second.
within() {
  n=$1
  shift
  until "$@"; do
    n=$((n - 1)) && [ "$n" -gt 0 ] || return 1
    sleep 0.1
  done
}
alive() { read -r _ _ state _ 2>/dev/null <"/proc/$app/stat" && [ "$state" != Z ]; }
ended() { ! alive; }
swap() { ls -A "$dir/work"; }
opened() { [ -n "$(swap)" ]; }
# After normalizing: the new document and the undo step, each on its own new swap file.
normalized() { [ "$(swap | wc -l)" -eq 2 ] && ! swap | grep -qx "$loaded"; }
windows() { xdotool search --onlyvisible --name 'Sonivar$' 2>/dev/null; }
main_shows() { alive && main=$(windows | head -n 1) && [ -n "$main" ]; }
asked() { a=$(xdotool getactivewindow 2>/dev/null) && [ "$a" != "$main" ] && windows | grep -qx "$a"; }
answered() { [ "$(windows | wc -l)" -le 1 ]; }
# Only the main window shows: no progress window (the loudness measured after each command).
idle() { [ "$(xdotool search --onlyvisible --pid "$app" 2>/dev/null | wc -l)" -eq 1 ]; }
# Idle for two seconds on end: reading the file and measuring it are over, keys reach the window.
settled() { n=20; while [ "$n" -gt 0 ]; do idle || return 1; n=$((n - 1)); sleep 0.1; done; }
wm_runs() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

mkdir -m 700 "$dir/work" "$dir/runtime"
export XDG_RUNTIME_DIR="$dir/runtime" SONIVAR_WORK_FOLDER="$dir/work"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
sox -n -r 44100 -c 2 -b 16 "$dir/tone.wav" synth 6 sine 440 vol 0.25 || fail "sox"
# Xvfb picks a free display itself and says which.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" 2>/dev/null &
pids=$!
within 300 test -s "$dir/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n 1 "$dir/display")"
openbox >"$dir/openbox.txt" 2>&1 &
pids="$pids $!"
within 300 wm_runs || fail "openbox did not start"
"$1" "$dir/tone.wav" 2>"$dir/sonivar.txt" &
app=$!
pids="$pids $app"
within 600 main_shows && within 600 opened || fail "the program did not show the file"
within 600 settled || fail "a progress window stayed open after opening the file"

# Ctrl+N normalizes: a new document on a new swap file, not saved, the old one kept for undo.
loaded=$(swap)
xdotool windowactivate --sync "$main" key --clearmodifiers ctrl+n
within 600 normalized || fail "Ctrl+N did not normalize"
within 600 idle || fail "a progress window stayed open after Ctrl+N"
kept=$(swap)
xdotool windowactivate --sync "$main" key --clearmodifiers alt+F4
within 300 asked || fail "Alt+F4 did not ask to save"
xdotool key Escape
within 300 answered && sleep 1
alive || fail "Escape at the save question ended the program"
[ "$(swap)" = "$kept" ] || fail "Escape at the save question released the document"

xdotool windowactivate --sync "$main" key --clearmodifiers alt+F4
within 300 asked || fail "the second Alt+F4 did not ask to save"
xdotool key n
within 300 ended || fail "No at the save question did not end the program"
wait "$app" || fail "exit status $?"
[ -z "$(swap)" ] || fail "swap files left: $(swap)"
echo passed
