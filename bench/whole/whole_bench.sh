#!/usr/bin/env bash
# Whole-program benchmark: the CPU kestrune needs to show the live input,
# side by side with xoscope, the comparison oscilloscope (a Debian package,
# run here as a black box with its defaults).
#
# Usage: whole_bench.sh <path of the kestrune binary> [<seconds> [<warm-up seconds>]]
#
# Both programs run in turn under one virtual X server on the whole-program
# test's input (a private PulseAudio server whose null sink's monitor is the
# default capture source, fed with the stereo tone 997 Hz / 443 Hz), each
# with a home of its own. After the warm-up (3 s) the script counts, over
# <seconds> (20): each program's CPU time and the X server's (from /proc),
# and the frames each window shows (damage rectangles coalesced per frame by
# frame_counter.c, the same count for both). It prints them side by side with
# the ratio of the two programs' CPU, and kestrune's target: at most 0.5 x
# xoscope's CPU per wall second, at least 9.5 frames per second.
#
# Run by `make bench`, never by the tests. Needs what the whole-program test
# needs, plus xoscope and libxdamage-dev (scripts/install-deps.sh).
set -euo pipefail

exe=${1:?usage: whole_bench.sh <path of the kestrune binary> [<seconds> [<warm-up seconds>]]}
measure_s=${2:-20}
warmup_s=${3:-3}
here=$(cd "$(dirname "$0")" && pwd)
whole="$here/../../tests/whole"
# shellcheck source=../../tests/whole/private_sound_server.sh
. "$whole/private_sound_server.sh"
# shellcheck source=../../tests/whole/virtual_display.sh
. "$whole/virtual_display.sh"
work=$(mktemp -d)
xvfb_pid=""
app_pid=""

cleanup() {
  if [ -n "$app_pid" ]; then kill -KILL "$app_pid" 2>/dev/null || true; fi
  sound_server_stop
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "whole_bench: FAIL: $*" >&2
  exit 1
}

# User plus system CPU time of a process, in clock ticks.
cpu_ticks() {
  # The command name (field 2) may hold spaces: count from after its ')'.
  sed 's/^.*) //' "/proc/$1/stat" | awk '{print $12 + $13}'
}

[ -x "$exe" ] || fail "no executable at '$exe'"
command -v xoscope >/dev/null || fail "xoscope is not installed (scripts/install-deps.sh)"
cc -std=c11 -O2 -Wall -Wextra -Werror -o "$work/frame_counter" "$here/frame_counter.c" \
  -lX11 -lXdamage || fail "cannot build the frame counter"
for helper in wm_delete_window stereo_tone; do
  cc -std=c11 -O1 -Wall -Wextra -Werror -o "$work/$helper" "$whole/$helper.c" -lX11 -lm \
    || fail "cannot build the helper $helper"
done
ticks_per_s=$(getconf CLK_TCK)

export HOME="$work/home"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p -m 0700 "$HOME" "$XDG_RUNTIME_DIR"
export DBUS_SESSION_BUS_ADDRESS="disabled:"
unset PULSE_SERVER PULSE_SINK PULSE_SOURCE ALSA_CONFIG_PATH
sound_server_start "$work" kestrune_bench "$work/stereo_tone" \
  || fail "no sound server could start: $(cat "$work/pulse.log" 2>/dev/null)"

virtual_display_start "$work"

# Runs one program and measures it: prints "cpu_s frames wall_s xcpu_s".
measure() {
  local name=$1
  shift
  local home="$work/home-$name"
  mkdir -p -m 0700 "$home" "$home/runtime"
  HOME="$home" XDG_RUNTIME_DIR="$home/runtime" XDG_CONFIG_HOME="$home/.config" \
    XDG_STATE_HOME="$home/.local/state" XDG_CACHE_HOME="$home/.cache" \
    XDG_DATA_HOME="$home/.local/share" QT_QPA_PLATFORM=xcb \
    "$@" >"$work/$name.log" 2>&1 &
  app_pid=$!
  local window="" deadline=$((SECONDS + 20))
  while [ -z "$window" ]; do
    running "$app_pid" || fail "$name ended before its window appeared: $(cat "$work/$name.log")"
    [ "$SECONDS" -lt "$deadline" ] || fail "$name showed no window within 20 s"
    window=$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] || sleep 0.2
  done
  sleep "$warmup_s"
  local cpu0 x0 t0 cpu1 x1 t1 counted
  cpu0=$(cpu_ticks "$app_pid")
  x0=$(cpu_ticks "$xvfb_pid")
  t0=$(date +%s%N)
  counted=$("$work/frame_counter" "$window" "$measure_s") || fail "cannot count $name's frames"
  cpu1=$(cpu_ticks "$app_pid")
  x1=$(cpu_ticks "$xvfb_pid")
  t1=$(date +%s%N)
  running "$app_pid" || fail "$name ended during the measurement"
  # Closed as a window manager asks; a program that does not take part in
  # the protocol is ended.
  "$work/wm_delete_window" "$window" >/dev/null 2>&1 || kill "$app_pid" 2>/dev/null || true
  deadline=$((SECONDS + 10))
  while running "$app_pid" && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.1; done
  kill -KILL "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
  local frames
  frames=$(echo "$counted" | sed 's/.*frames=\([0-9]*\).*/\1/')
  awk -v c=$((cpu1 - cpu0)) -v x=$((x1 - x0)) -v hz="$ticks_per_s" -v f="$frames" \
    -v w=$((t1 - t0)) 'BEGIN { printf "%.3f %d %.3f %.3f\n", c / hz, f, w / 1e9, x / hz }'
}

read -r k_cpu k_frames k_wall k_x < <(measure kestrune "$exe")
read -r x_cpu x_frames x_wall x_x < <(measure xoscope xoscope)

cpu_model=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
echo "whole_bench: ${measure_s} s after ${warmup_s} s of warm-up, on $(nproc) CPUs (${cpu_model:-unknown}),"
echo "whole_bench: load average (1, 5, 15 min): $(cut -d' ' -f1-3 /proc/loadavg)"
awk -v kc="$k_cpu" -v kf="$k_frames" -v kw="$k_wall" -v kx="$k_x" \
  -v xc="$x_cpu" -v xf="$x_frames" -v xw="$x_wall" -v xx="$x_x" 'BEGIN {
  printf "%-10s %14s %10s %16s %16s\n", "program", "CPU s/wall s", "frames/s", "CPU ms/frame", "X CPU s/wall s"
  printf "%-10s %14.3f %10.1f %16.2f %16.3f\n", "kestrune", kc / kw, kf / kw, kf ? 1000 * kc / kf : 0, kx / kw
  printf "%-10s %14.3f %10.1f %16.2f %16.3f\n", "xoscope", xc / xw, xf / xw, xf ? 1000 * xc / xf : 0, xx / xw
  ratio = (xc / xw) > 0 ? (kc / kw) / (xc / xw) : 0
  printf "CPU ratio kestrune / xoscope: %.2f (target <= 0.5); kestrune %.1f frames/s (target >= 9.5): %s\n",
         ratio, kf / kw, (ratio <= 0.5 && kf / kw >= 9.5) ? "met" : "MISSED"
}'
