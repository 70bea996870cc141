#!/usr/bin/env bash
# Whole-program check: kestrune started without a graphical desktop says so
# in one line of French on its error output, naming the display variable,
# writes nothing else, and ends with exit status 1 (not the toolkit's abort).
#
# Usage: no_display.sh <path of the kestrune binary>
#
# Two starts, with no toolkit platform chosen (QT_QPA_PLATFORM unset):
#  - no display variable at all (DISPLAY and WAYLAND_DISPLAY unset);
#  - DISPLAY naming an X display that no server serves.
set -euo pipefail

readonly START_TIMEOUT_S=20

exe=${1:?usage: no_display.sh <path of the kestrune binary>}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# check <what> <word the line must name> <env arguments...>
check() {
  local what=$1 names=$2
  shift 2
  local status=0
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" \
    timeout "$START_TIMEOUT_S" "$exe" >"$work/out" 2>"$work/err" || status=$?
  local lines
  lines=$(wc -l <"$work/err")
  if [ "$status" -ne 1 ] || [ -s "$work/out" ] || [ "$lines" -ne 1 ] \
    || ! grep -q "bureau graphique" "$work/err" || ! grep -q "$names" "$work/err"; then
    echo "FAIL ($what): status $status, $lines line(s) of error output, output:" >&2
    cat "$work/out" "$work/err" >&2
    failures=$((failures + 1))
  else
    echo "ok ($what): $(cat "$work/err")"
  fi
}

check "no display variable" "DISPLAY"

# The first X display number with no server socket.
n=90
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do
  n=$((n + 1))
done
check "display :$n served by no server" "DISPLAY=\":$n\"" "DISPLAY=:$n"

[ "$failures" -eq 0 ]
