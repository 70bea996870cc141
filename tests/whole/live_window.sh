#!/usr/bin/env bash
# Whole-program check: kestrune, started under a virtual X server with paced
# live input, shows both channels' traces, fills its device and line lists
# from the input it finds, and, asked to close the way a window manager does
# (a WM_DELETE_WINDOW message), ends with exit status 0.
#
# Usage: live_window.sh <path of the kestrune binary> [auto|file]
# With KESTRUNE_WHOLE_KEEP set to a folder, the pictures and logs are copied
# there at the end (also on failure).
#
# Input ("auto", the default): a PulseAudio server of the test's own (its own
# runtime folder and home, so no user's server is touched), whose null sink's
# monitor is the default capture source, fed by paplay in a loop with a
# stereo tone (997 Hz left, 443 Hz right, within +-10000). Start-up must list
# the server's device and its line "Capture" and select it: the test switches
# that capture off before the start and finds it on afterwards.
# Where no server can start, and always with "file": a test ALSA
# configuration whose default device reads a FIFO that a helper feeds at real
# time; no device is listed then, both lists stay empty and capture runs on
# the wave mapper. The script says which input it used.
#
# From 3 s after the start, two pictures of the window taken half a second
# apart must show, in the scope's rectangle, a red and a lime trace that each
# span many rows, and must differ there.
#
# On the private server the test then kills the server and starts it again,
# as a desktop's sound service restarts: capture must come back by itself,
# the traces moving again within RECOVERY_TIMEOUT_MS of the new start. The
# script says what the scope showed while the server was away.
#
# Needs Xvfb, xdotool, a C compiler with the X11 headers (for the small
# helpers beside this script), pulseaudio, pulseaudio-utils, alsa-utils and
# libasound2-plugins; scripts/install-deps.sh installs them all.
set -euo pipefail

readonly WINDOW_TIMEOUT_S=20
readonly EXIT_TIMEOUT_S=20
readonly TRACES_TIMEOUT_S=15
# How long the server stays away, and by when after its new start the
# traces must move again.
readonly SERVER_AWAY_S=2
readonly RECOVERY_TIMEOUT_MS=3000
# The window's client area and, in it, the scope and the two lists (the
# stored description's places).
readonly CLIENT_W=665 CLIENT_H=385
readonly SCOPE_RECT="16 40 377 329"
# The text part of each list: inside its frame, left of its drop-down button.
readonly DEVICES_TEXT_RECT="20 11 180 15"
readonly LINES_TEXT_RECT="252 11 180 15"
# A trace that shows the tone spans far more rows than this (the tone fills
# 60 to 80 % of the scope's height); noise or a flat line spans a few.
readonly MIN_TRACE_ROWS=100
readonly MIN_CHANGED_PIXELS=100
# A list showing a name has far more marks than this on its plain face.
readonly MIN_TEXT_MARKS=20
readonly SINK=kestrune_test

exe=${1:?usage: live_window.sh <path of the kestrune binary> [auto|file]}
wanted_input=${2:-auto}
case "$wanted_input" in auto | file) ;; *)
  echo "usage: live_window.sh <path of the kestrune binary> [auto|file]" >&2
  exit 2
  ;;
esac
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=private_sound_server.sh
. "$here/private_sound_server.sh"
# shellcheck source=virtual_display.sh
. "$here/virtual_display.sh"
work=$(mktemp -d)
xvfb_pid=""
feeder_pid=""
app_pid=""

stop() {
  if [ -n "$1" ]; then
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
  fi
}

cleanup() {
  if [ -n "${KESTRUNE_WHOLE_KEEP:-}" ]; then
    mkdir -p "$KESTRUNE_WHOLE_KEEP" && cp "$work"/*.ppm "$work"/*.log "$KESTRUNE_WHOLE_KEEP"/ 2>/dev/null || true
  fi
  if [ -n "$app_pid" ]; then kill -KILL "$app_pid" 2>/dev/null || true; fi
  stop "$feeder_pid"
  sound_server_stop
  stop "$xvfb_pid"
  rm -rf "$work"
}
trap cleanup EXIT


fail() {
  echo "live_window: FAIL: $*" >&2
  if [ -s "$work/app.log" ]; then
    echo "--- kestrune output ---" >&2
    cat "$work/app.log" >&2
  fi
  exit 1
}

say() { echo "live_window: $*"; }

[ -x "$exe" ] || fail "no executable at '$exe'"

for helper in wm_delete_window window_image stereo_tone; do
  cc -std=c11 -O1 -Wall -Wextra -Werror -o "$work/$helper" "$here/$helper.c" -lX11 -lm \
    || fail "cannot build the helper $helper"
done

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

# --- Input ------------------------------------------------------------------

# The ALSA control of the server's device holds one capture element.
server_capture_switch() {
  amixer -D pulse sget Capture 2>/dev/null | grep -o '\[\(on\|off\)\]' | head -n 1 | tr -d '[]'
}

start_fifo_input() {
  mkfifo "$work/input.fifo"
  cat >"$work/alsa.conf" <<EOF
# The default capture device reads raw frames from the FIFO; the FIFO's
# writer paces them. Nothing else is defined: no hints, no cards' controls,
# no sound server.
pcm.!default {
  type file
  slave.pcm {
    type null
  }
  file "/dev/null"
  infile "$work/input.fifo"
  format "raw"
}
EOF
  export ALSA_CONFIG_PATH="$work/alsa.conf"
  "$work/stereo_tone" fifo "$work/input.fifo" &
  feeder_pid=$!
}

input=""
if [ "$wanted_input" = auto ] && command -v amixer >/dev/null \
  && sound_server_start "$work" "$SINK" "$work/stereo_tone"; then
  input=server
  amixer -D pulse -q sset Capture nocap || fail "cannot switch the server's capture off"
  [ "$(server_capture_switch)" = off ] || fail "the server's capture switch did not go off"
  say "input: private PulseAudio server, null sink monitor fed by paplay (capture switched off)"
else
  input=file
  start_fifo_input
  if [ "$wanted_input" = auto ]; then
    say "input: no sound server could start; ALSA default device reading a FIFO fed at real time"
  else
    say "input: ALSA default device reading a FIFO fed at real time"
  fi
fi

# --- X server and the program -------------------------------------------------

virtual_display_start "$work"
# A real window on the X server, whatever the caller's environment says.
export QT_QPA_PLATFORM=xcb

# Milliseconds since kestrune was started.
elapsed_ms() {
  echo $(( ($(date +%s%N) - started_ns) / 1000000 ))
}
started_ns=$(date +%s%N)
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
say "found window $window on $DISPLAY"

# --- Traces -------------------------------------------------------------------

# Two pictures half a second apart, from 3 s after the start on. A machine
# under heavy load may show the first traces later: then the pair is taken
# again, until TRACES_TIMEOUT_S after the start.
take_pair() {
  "$work/window_image" grab "$window" "$CLIENT_W" "$CLIENT_H" "$work/a.ppm" \
    || fail "cannot take the window's picture"
  sleep 0.5
  "$work/window_image" grab "$window" "$CLIENT_W" "$CLIENT_H" "$work/b.ppm" \
    || fail "cannot take the window's second picture"
  running "$app_pid" || fail "kestrune ended while it was running"
  # shellcheck disable=SC2086 # the rectangle is four numbers
  measured=$("$work/window_image" traces "$work/a.ppm" "$work/b.ppm" $SCOPE_RECT) \
    || fail "cannot measure the pictures"
  read -r red_rows lime_rows changed < <(echo "$measured" | sed 's/[a-z_]*=//g')
  [ "$red_rows" -ge "$MIN_TRACE_ROWS" ] && [ "$lime_rows" -ge "$MIN_TRACE_ROWS" ] \
    && [ "$changed" -ge "$MIN_CHANGED_PIXELS" ]
}

sleep_until() {
  while [ "$(elapsed_ms)" -lt "$1" ]; do sleep 0.05; done
}

sleep_until 3000
until take_pair; do
  [ "$(elapsed_ms)" -lt $((TRACES_TIMEOUT_S * 1000)) ] || break
  sleep 0.5
done
say "scope at $(elapsed_ms) ms: $measured"
[ "$red_rows" -ge "$MIN_TRACE_ROWS" ] || fail "the red trace spans $red_rows rows only"
[ "$lime_rows" -ge "$MIN_TRACE_ROWS" ] || fail "the lime trace spans $lime_rows rows only"
[ "$changed" -ge "$MIN_CHANGED_PIXELS" ] || fail "the traces did not move ($changed pixels changed)"

# --- Lists --------------------------------------------------------------------

marks_in() {
  # shellcheck disable=SC2086
  "$work/window_image" marks "$work/b.ppm" $1 | sed 's/marks=//'
}
device_marks=$(marks_in "$DEVICES_TEXT_RECT") || fail "cannot measure the device list"
line_marks=$(marks_in "$LINES_TEXT_RECT") || fail "cannot measure the line list"
say "lists: device list $device_marks marks, line list $line_marks marks"
if [ "$input" = server ]; then
  [ "$device_marks" -ge "$MIN_TEXT_MARKS" ] || fail "the device list shows no device"
  [ "$line_marks" -ge "$MIN_TEXT_MARKS" ] || fail "the line list shows no line"
  # Choosing the line "Capture" at start-up switched the capture back on.
  switch=$(server_capture_switch)
  [ "$switch" = on ] || fail "the server's capture switch is '$switch' after start-up, not on"
  say "the server's capture switch is on again"
  pactl list short source-outputs | grep -q . || fail "nothing records from the server"
else
  [ "$device_marks" -eq 0 ] || fail "the device list is not empty ($device_marks marks)"
  [ "$line_marks" -eq 0 ] || fail "the line list is not empty ($line_marks marks)"
fi

# --- The sound server restarts ------------------------------------------------

if [ "$input" = server ]; then
  cp "$work/b.ppm" "$work/before_restart.ppm"
  sound_server_kill
  say "sound server killed"
  sleep "$SERVER_AWAY_S"
  take_pair && fail "the traces moved while the sound server was away"
  running "$app_pid" || fail "kestrune ended while the sound server was away"
  cp "$work/a.ppm" "$work/server_away_a.ppm"
  cp "$work/b.ppm" "$work/server_away_b.ppm"
  say "while the server was away: $measured (the last picture stays)"
  sound_server_restart || fail "the sound server did not start again"
  restarted_ns=$(date +%s%N)
  since_restart_ms() {
    echo $(( ($(date +%s%N) - restarted_ns) / 1000000 ))
  }
  say "sound server started again"
  # Each picture is held against the last one taken while the server was
  # away; the first that shows both traces, changed, counts when it was
  # taken within the time allowed.
  moving=""
  while [ "$(since_restart_ms)" -lt "$RECOVERY_TIMEOUT_MS" ]; do
    "$work/window_image" grab "$window" "$CLIENT_W" "$CLIENT_H" "$work/c.ppm" \
      || fail "cannot take the window's picture"
    taken_ms=$(since_restart_ms)
    # shellcheck disable=SC2086 # the rectangle is four numbers
    measured=$("$work/window_image" traces "$work/c.ppm" "$work/server_away_b.ppm" $SCOPE_RECT) \
      || fail "cannot measure the pictures"
    read -r red_rows lime_rows changed < <(echo "$measured" | sed 's/[a-z_]*=//g')
    if [ "$red_rows" -ge "$MIN_TRACE_ROWS" ] && [ "$lime_rows" -ge "$MIN_TRACE_ROWS" ] \
      && [ "$changed" -ge "$MIN_CHANGED_PIXELS" ] && [ "$taken_ms" -le "$RECOVERY_TIMEOUT_MS" ]; then
      moving=yes
      break
    fi
    sleep 0.1
  done
  [ -n "$moving" ] || fail "the traces did not move again within ${RECOVERY_TIMEOUT_MS} ms of the server's new start ($measured)"
  say "traces changed again ${taken_ms} ms after the server's new start: $measured"
  take_pair || fail "the traces stopped again after the server's new start ($measured)"
  say "traces moving after the server's new start: $measured"
fi

# --- Closing ------------------------------------------------------------------

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
say "kestrune closed its window and ended with exit status 0 (input: $input)"
