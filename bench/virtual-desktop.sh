# Sourced by the window benches: a folder of their own ($dir, removed at exit with the program
# $app and every server in $pids), Xvfb under openbox, and a home and work folder in $dir.
#   bench_needs NAME TOOL...   ends the bench quietly when a tool is missing
#   within TENTHS COMMAND...   retries COMMAND for at most TENTHS tenths of a second
#   start_desktop              the X server and window manager; exports DISPLAY
bench_needs() {
  bench_name=$1; shift
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$bench_name: no $tool (scripts/install-deps)"; exit 0; }
  done
}
dir=$(mktemp -d "${BENCH_TMP:-/var/tmp}/sonivar-window.XXXXXX")
pids=() app=
# The window would ask to save a processed document on SIGTERM: killed, its swap files go with
# the folder.
stop() {
  [ -n "$app" ] && kill -KILL "$app" 2>/dev/null
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$dir"
  return 0
}
trap stop EXIT
fail() { echo "$bench_name: $*"; tail -n 5 "$dir"/*.txt 2>/dev/null; exit 1; }
# Polls every poll_sleep seconds (default 0.1), poll_steps times per tenth (default 1).
within() {
  local n=$(($1 * ${poll_steps:-1})); shift
  until "$@"; do n=$((n - 1)); [ "$n" -gt 0 ] || return 1; sleep "${poll_sleep:-0.1}"; done
}
wm_runs() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
mkdir -m 700 "$dir/runtime" "$dir/work" "$dir/home"
export XDG_RUNTIME_DIR=$dir/runtime SONIVAR_WORK_FOLDER=$dir/work HOME=$dir/home
export XDG_CONFIG_HOME=$dir/home/.config XDG_DATA_HOME=$dir/home/.local/share
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
start_desktop() {
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" 2>/dev/null &
  pids+=($!)
  within 300 test -s "$dir/display" || fail "Xvfb did not start"
  export DISPLAY=":$(head -n 1 "$dir/display")"
  openbox >"$dir/openbox.txt" 2>&1 &
  pids+=($!)
  within 300 wm_runs || fail "openbox did not start"
}
