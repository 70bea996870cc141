# Sourced by the whole-program test and scripts/make-doc-images.sh (bash):
# kestrune started on the virtual display (virtual_display.sh) in an
# environment of its own, its window found, its scope's traces judged from
# pictures of the window, and the window closed as a window manager does.
#
# The caller sets `work` (a folder of its own: the helpers, pictures and
# kestrune's output go there) before it calls any of these. They share the
# globals app_pid, started_ns, window, measured, red_rows, lime_rows and
# changed with the caller.
#
#   fail <message>, say <message>
#     Print the message prefixed with the script's name. fail then prints
#     kestrune's output, if any, and exits with status 1.
#   stop <pid>
#     Ends the process (if the pid is not empty) and waits for it.
#   build_helpers
#     Builds wm_delete_window, window_image and stereo_tone (the C helpers
#     beside this file) into $work.
#   isolate_environment
#     Gives the programs started afterwards a home, runtime folder and XDG
#     folders in $work, no message bus and no sound server or ALSA
#     configuration of the caller's.
#   kestrune_start <binary>
#     Starts kestrune with a real window on the X server, its output in
#     $work/app.log; sets app_pid and started_ns.
#   elapsed_ms
#     Prints the milliseconds since kestrune was started.
#   kestrune_find_window
#     Waits (WINDOW_TIMEOUT_S) for kestrune's visible window titled
#     "Kestrune" and sets window.
#   traces_move <a.ppm> <b.ppm>
#     Measures the scope's rectangle of two client-area pictures (sets
#     measured, red_rows, lime_rows and changed); true when both traces span
#     many rows of picture a and the two pictures differ there.
#   take_pair
#     Takes two client-area pictures half a second apart ($work/a.ppm and
#     $work/b.ppm) and judges them with traces_move.
#   wait_for_traces <ms>
#     From <ms> after the start, takes pairs until one shows both traces
#     moving, or until TRACES_TIMEOUT_S after the start; says what the scope
#     showed, and fails naming what was missing.
#   kestrune_close
#     Asks the window to close (a WM_DELETE_WINDOW message) and fails unless
#     kestrune then ends, within EXIT_TIMEOUT_S, with exit status 0.
# Needs xdotool, a C compiler with the X11 headers, and running (from
# virtual_display.sh).

readonly WINDOW_TIMEOUT_S=20
readonly EXIT_TIMEOUT_S=20
readonly TRACES_TIMEOUT_S=15
# The window's client area (the stored description's size; a menu bar lies
# above it) and, in it, the scope (the stored description's place).
readonly CLIENT_W=665 CLIENT_H=385
readonly SCOPE_RECT="16 40 377 329"
# A trace that shows the tone spans far more rows than this (the tone fills
# 60 to 80 % of the scope's height); noise or a flat line spans a few.
readonly MIN_TRACE_ROWS=100
readonly MIN_CHANGED_PIXELS=100

kestrune_window_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
kestrune_window_caller=$(basename "$0" .sh)
app_pid=""
window=""
measured=""

fail() {
  echo "$kestrune_window_caller: FAIL: $*" >&2
  if [ -s "$work/app.log" ]; then
    echo "--- kestrune output ---" >&2
    cat "$work/app.log" >&2
  fi
  if [ -s "$work/xvfb.log" ]; then
    echo "--- X server output (DISPLAY=${DISPLAY:-}) ---" >&2
    cat "$work/xvfb.log" >&2
  fi
  exit 1
}

say() { echo "$kestrune_window_caller: $*"; }

stop() {
  if [ -n "$1" ]; then
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
  fi
}

build_helpers() {
  local helper
  for helper in wm_delete_window window_image stereo_tone; do
    cc -std=c11 -O1 -Wall -Wextra -Werror -o "$work/$helper" "$kestrune_window_dir/$helper.c" \
      -lX11 -lm || fail "cannot build the helper $helper"
  done
}

isolate_environment() {
  # Everything the programs started here read or write stays in $work.
  export HOME="$work/home"
  export XDG_RUNTIME_DIR="$work/runtime"
  export XDG_CONFIG_HOME="$HOME/.config" XDG_STATE_HOME="$HOME/.local/state"
  export XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_HOME="$HOME/.local/share"
  mkdir -p -m 0700 "$HOME" "$XDG_RUNTIME_DIR"
  # No message bus here; keep every program off the caller's (and off
  # libdbus's autolaunch).
  export DBUS_SESSION_BUS_ADDRESS="disabled:"
  unset PULSE_SERVER PULSE_SINK PULSE_SOURCE ALSA_CONFIG_PATH
}

kestrune_start() {
  # A real window on the X server, whatever the caller's environment says.
  export QT_QPA_PLATFORM=xcb
  started_ns=$(date +%s%N)
  "$1" >"$work/app.log" 2>&1 &
  app_pid=$!
}

elapsed_ms() {
  echo $((($(date +%s%N) - started_ns) / 1000000))
}

kestrune_find_window() {
  window=""
  local deadline=$((SECONDS + WINDOW_TIMEOUT_S))
  while [ -z "$window" ]; do
    running "$app_pid" || fail "kestrune ended before its window appeared"
    [ "$SECONDS" -lt "$deadline" ] || fail "no visible window titled 'Kestrune' within ${WINDOW_TIMEOUT_S} s"
    window=$(xdotool search --onlyvisible --name '^Kestrune$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] || sleep 0.2
  done
  say "found window $window on $DISPLAY"
}

traces_move() {
  # shellcheck disable=SC2086 # the rectangle is four numbers
  measured=$("$work/window_image" traces "$1" "$2" $SCOPE_RECT) \
    || fail "cannot measure the pictures"
  read -r red_rows lime_rows changed < <(echo "$measured" | sed 's/[a-z_]*=//g')
  [ "$red_rows" -ge "$MIN_TRACE_ROWS" ] && [ "$lime_rows" -ge "$MIN_TRACE_ROWS" ] \
    && [ "$changed" -ge "$MIN_CHANGED_PIXELS" ]
}

take_pair() {
  "$work/window_image" grab "$window" "$CLIENT_W" "$CLIENT_H" "$work/a.ppm" \
    || fail "cannot take the window's picture"
  sleep 0.5
  "$work/window_image" grab "$window" "$CLIENT_W" "$CLIENT_H" "$work/b.ppm" \
    || fail "cannot take the window's second picture"
  running "$app_pid" || fail "kestrune ended while it was running"
  traces_move "$work/a.ppm" "$work/b.ppm"
}

wait_for_traces() {
  while [ "$(elapsed_ms)" -lt "$1" ]; do sleep 0.05; done
  # A machine under heavy load may show the first traces later: then the
  # pair is taken again, until TRACES_TIMEOUT_S after the start.
  until take_pair; do
    [ "$(elapsed_ms)" -lt $((TRACES_TIMEOUT_S * 1000)) ] || break
    sleep 0.5
  done
  say "scope at $(elapsed_ms) ms: $measured"
  [ "$red_rows" -ge "$MIN_TRACE_ROWS" ] || fail "the red trace spans $red_rows rows only"
  [ "$lime_rows" -ge "$MIN_TRACE_ROWS" ] || fail "the lime trace spans $lime_rows rows only"
  [ "$changed" -ge "$MIN_CHANGED_PIXELS" ] || fail "the traces did not move ($changed pixels changed)"
}

kestrune_close() {
  "$work/wm_delete_window" "$window" || fail "could not ask window $window to close"
  local deadline=$((SECONDS + EXIT_TIMEOUT_S))
  while running "$app_pid"; do
    [ "$SECONDS" -lt "$deadline" ] || fail "kestrune still running ${EXIT_TIMEOUT_S} s after the close request"
    sleep 0.1
  done
  local status=0
  wait "$app_pid" || status=$?
  app_pid=""
  [ "$status" -eq 0 ] || fail "kestrune ended with exit status $status"
}
