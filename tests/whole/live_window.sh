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

# The first pair of pictures is taken this long after the start.
readonly TRACES_FROM_MS=3000
# How long the server stays away, and by when after its new start the
# traces must move again.
readonly SERVER_AWAY_S=2
readonly RECOVERY_TIMEOUT_MS=3000
# The two lists in the window's client area (the stored description's
# places; the client area and the scope's rectangle are kestrune_window.sh's):
# the text part of each list, inside its frame, left of its drop-down button.
readonly DEVICES_TEXT_RECT="20 11 180 15"
readonly LINES_TEXT_RECT="252 11 180 15"
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
# shellcheck source=kestrune_window.sh
. "$here/kestrune_window.sh"
work=$(mktemp -d)
xvfb_pid=""
feeder_pid=""

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

[ -x "$exe" ] || fail "no executable at '$exe'"

build_helpers
isolate_environment

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
kestrune_start "$exe"
kestrune_find_window

# --- Traces -------------------------------------------------------------------

wait_for_traces "$TRACES_FROM_MS"

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
    if traces_move "$work/c.ppm" "$work/server_away_b.ppm" \
      && [ "$taken_ms" -le "$RECOVERY_TIMEOUT_MS" ]; then
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

kestrune_close
say "kestrune closed its window and ended with exit status 0 (input: $input)"
