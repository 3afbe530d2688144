#!/bin/sh
# The real program under a real window manager (openbox in a virtual display): with unsaved
# data, Alt+F4 and then Escape at the save question keep the program running with its
# document; Alt+F4 and No then end it, leaving no swap file.
# Usage: save-question-under-window-manager.sh PATH-TO-SONIVAR
set -u
sonivar=$1
for tool in Xvfb openbox xdotool xprop sox; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed (scripts/install-deps installs it)"
    exit 77
  fi
done

dir=$(mktemp -d)
pids=
cleanup() {
  for pid in $pids; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
fail() {
  echo "FAIL: $*"
  for log in stderr openbox; do
    echo "--- $log:"
    cat "$dir/$log.txt" 2>/dev/null
  done
  exit 1
}
# Runs the command in the remaining arguments until it succeeds, at most $1 tenths of a second.
within() {
  tries=$1
  shift
  until "$@"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}
alive() { read -r _ _ state _ 2>/dev/null <"/proc/$app/stat" && [ "$state" != Z ]; }
ended() { ! alive; }
swap_files() { ls -A "$dir/work"; }
# The visible windows titled like the program: the main window and, while it shows, the question.
windows() { xdotool search --onlyvisible --name '^Sonivar$' 2>/dev/null; }
question_is_active() {
  active=$(xdotool getactivewindow 2>/dev/null) || return 1
  [ "$active" != "$main" ] && windows | grep -qx "$active"
}
question_is_gone() { [ "$(windows | wc -l)" -le 1 ]; }
wm_runs() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

mkdir -p "$dir/work" "$dir/runtime"
chmod 700 "$dir/runtime"
export XDG_RUNTIME_DIR="$dir/runtime" SONIVAR_WORK_FOLDER="$dir/work"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
sox -n -r 44100 -c 2 -b 16 "$dir/tone.wav" synth 6 sine 440 vol 0.25 || fail "sox failed"

# Xvfb picks a free display itself and says which.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" 2>/dev/null &
pids="$!"
within 300 test -s "$dir/display" || fail "Xvfb did not start"
DISPLAY=":$(head -n 1 "$dir/display")"
export DISPLAY
openbox >"$dir/openbox.txt" 2>&1 &
pids="$pids $!"
within 300 wm_runs || fail "openbox did not start"

"$sonivar" "$dir/tone.wav" 2>"$dir/stderr.txt" &
app=$!
pids="$pids $app"
main_window_shows() {
  alive || fail "the program ended at start"
  main=$(windows | head -n 1)
  [ -n "$main" ]
}
within 600 main_window_shows || fail "no main window"
opened() { [ -n "$(swap_files)" ]; }
within 600 opened || fail "the file was not opened"

# Ctrl+N normalizes: the document is replaced by a new one, on a new swap file, unsaved.
loaded=$(swap_files)
xdotool windowactivate --sync "$main" key --clearmodifiers ctrl+n
normalized() { now=$(swap_files) && [ -n "$now" ] && [ "$now" != "$loaded" ] && [ "$(echo "$now" | wc -l)" -eq 1 ]; }
within 600 normalized || fail "Ctrl+N did not normalize"

xdotool windowactivate --sync "$main" key --clearmodifiers alt+F4
within 300 question_is_active || fail "Alt+F4 did not ask to save"
xdotool key Escape
within 300 question_is_gone || fail "Escape did not close the question"
sleep 1
alive || fail "Escape at the save question ended the program"
[ "$(swap_files)" = "$now" ] || fail "the document went after Escape"

xdotool windowactivate --sync "$main" key --clearmodifiers alt+F4
within 300 question_is_active || fail "the second Alt+F4 did not ask to save"
xdotool key n
within 300 ended || fail "No at the save question did not end the program"
wait "$app"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status"
[ -z "$(swap_files)" ] || fail "swap files left: $(swap_files)"
echo "passed"
