#!/usr/bin/env bash
# Whole-program check: kestrune, started under a virtual X server, opens its
# main window "Kestrune"; asked to close it the way a window manager does (a
# WM_DELETE_WINDOW message), the program ends with exit status 0.
#
# Usage: close_window.sh <path of the kestrune binary>
# Needs Xvfb, xdotool and a C compiler with the X11 headers (for the small
# helper that sends the message; scripts/install-deps.sh installs them all).
set -euo pipefail

readonly WINDOW_TIMEOUT_S=20
readonly EXIT_TIMEOUT_S=20

exe=${1:?usage: close_window.sh <path of the kestrune binary>}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
xvfb_pid=""
app_pid=""

cleanup() {
  if [ -n "$app_pid" ]; then kill -KILL "$app_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# True while the process runs (an ended child that was not waited for yet
# still answers kill -0, so look at its state).
running() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != "Z" ] && [ "$state" != "X" ]
}

fail() {
  echo "close_window: FAIL: $*" >&2
  if [ -s "$work/app.log" ]; then
    echo "--- kestrune output ---" >&2
    cat "$work/app.log" >&2
  fi
  exit 1
}

[ -x "$exe" ] || fail "no executable at '$exe'"

# No window manager runs here, so nobody else would deliver the close
# request: this helper sends the same client message a manager sends.
cc -std=c11 -O1 -Wall -Wextra -Werror -o "$work/wm_delete_window" "$here/wm_delete_window.c" -lX11 \
  || fail "cannot build the WM_DELETE_WINDOW helper"

# A display number nobody uses: Xvfb picks it and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  running "$xvfb_pid" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb gave no display number"
export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"

# A real window on the X server, whatever the caller's environment says.
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR="$work/runtime"
# This X session has no message bus; keep the program off the caller's (and
# off libdbus's autolaunch, which leaks under the sanitizers).
export DBUS_SESSION_BUS_ADDRESS="disabled:"
mkdir -m 0700 "$XDG_RUNTIME_DIR"

"$exe" >"$work/app.log" 2>&1 &
app_pid=$!

window=""
deadline=$((SECONDS + WINDOW_TIMEOUT_S))
while [ -z "$window" ]; do
  running "$app_pid" || fail "kestrune ended before its window appeared"
  [ "$SECONDS" -lt "$deadline" ] || fail "no visible window titled 'Kestrune' within ${WINDOW_TIMEOUT_S} s"
  window=$(xdotool search --onlyvisible --name '^Kestrune$' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] || sleep 0.2
done
echo "close_window: found window $window on $DISPLAY"

"$work/wm_delete_window" "$window" || fail "could not ask window $window to close"

deadline=$((SECONDS + EXIT_TIMEOUT_S))
while running "$app_pid"; do
  [ "$SECONDS" -lt "$deadline" ] || fail "kestrune still running ${EXIT_TIMEOUT_S} s after the close request"
  sleep 0.1
done
status=0
wait "$app_pid" || status=$?
app_pid=""
[ "$status" -eq 0 ] || fail "kestrune ended with exit status $status"
echo "close_window: kestrune closed its window and ended with exit status 0"
