#!/usr/bin/env bash
# Remakes every picture in docs/images from the real program:
#
#   main-window.png            the window with its menu bar, live: kestrune on
#                              a virtual X server, capturing the whole-program
#                              tests' stereo tone from a private sound server
#   main-window-spectrum.png   the same window after a click on
#                              "Analyseur spectre"
#   scope-with-toolbars.png, scope-properties-page<0..3>.png
#                              what the window hides: the scope with its
#                              toolbars and the pages of its property dialog,
#                              made offscreen by tests/docimages/DocImages.cpp
#
# Usage: scripts/make-doc-images.sh   (from anywhere; some ten seconds once
# the programs are built)
# Installs what is missing (scripts/install-deps.sh), builds kestrune and the
# picture tool in build/default, and uses the whole-program tests' virtual
# display, sound server and helpers (tests/whole/). Touches no user's sound
# server or display.
set -euo pipefail

# How long the window runs before its picture is taken, and how long the
# spectrum needs after the click.
readonly SETTLE_S=4
readonly SPECTRUM_SETTLE_S=3
readonly WINDOW_TIMEOUT_S=20
readonly TRACES_TIMEOUT_S=15
readonly EXIT_TIMEOUT_S=20
readonly SINK=kestrune_doc
# The client area (the stored description's size) and, in it, the centre of
# the "Analyseur spectre" button.
readonly CLIENT_W=665 CLIENT_H=385
readonly SPECTRUM_BUTTON_X=594 SPECTRUM_BUTTON_Y=51
# The scope's rectangle in the client area, and what the whole-program test
# takes for two moving traces there.
readonly SCOPE_RECT="16 40 377 329"
readonly MIN_TRACE_ROWS=100 MIN_CHANGED_PIXELS=100

root=$(cd "$(dirname "$0")/.." && pwd)
whole="$root/tests/whole"
images="$root/docs/images"
build="$root/build/default"

work=$(mktemp -d)
xvfb_pid=""
app_pid=""

fail() {
  echo "make-doc-images: FAIL: $*" >&2
  if [ -s "$work/app.log" ]; then
    echo "--- kestrune output ---" >&2
    cat "$work/app.log" >&2
  fi
  exit 1
}

say() { echo "make-doc-images: $*"; }

# shellcheck source=SCRIPTDIR/../tests/whole/private_sound_server.sh
. "$whole/private_sound_server.sh"
# shellcheck source=SCRIPTDIR/../tests/whole/virtual_display.sh
. "$whole/virtual_display.sh"

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

# --- The programs ---------------------------------------------------------------

"$root/scripts/install-deps.sh"
(cd "$root" && cmake --preset default >/dev/null \
  && cmake --build --preset default --target kestrune kestrune_doc_images >/dev/null) \
  || fail "cannot build kestrune and the picture tool"
exe="$build/app/kestrune"
tool="$build/tests/kestrune_doc_images"

for helper in wm_delete_window window_image stereo_tone; do
  cc -std=c11 -O1 -Wall -Wextra -Werror -o "$work/$helper" "$whole/$helper.c" -lX11 -lm \
    || fail "cannot build the helper $helper"
done

# --- What the main window hides, offscreen ---------------------------------------

"$tool" widgets "$images" >/dev/null 2>"$work/tool.log" \
  || fail "cannot make the scope's pictures: $(cat "$work/tool.log")"
say "made the scope's pictures"

# --- The main window, live --------------------------------------------------------

# Everything the programs started here read or write stays in $work.
export HOME="$work/home"
export XDG_RUNTIME_DIR="$work/runtime"
export XDG_CONFIG_HOME="$HOME/.config" XDG_STATE_HOME="$HOME/.local/state"
export XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_HOME="$HOME/.local/share"
mkdir -m 0700 "$HOME" "$XDG_RUNTIME_DIR"
export DBUS_SESSION_BUS_ADDRESS="disabled:"
unset PULSE_SERVER PULSE_SINK PULSE_SOURCE ALSA_CONFIG_PATH

sound_server_start "$work" "$SINK" "$work/stereo_tone" \
  || fail "no sound server could start: $(cat "$work/pulse.log")"
virtual_display_start "$work"
export QT_QPA_PLATFORM=xcb

"$exe" >"$work/app.log" 2>&1 &
app_pid=$!
window=""
measured=""
deadline=$((SECONDS + WINDOW_TIMEOUT_S))
while [ -z "$window" ]; do
  running "$app_pid" || fail "kestrune ended before its window appeared"
  [ "$SECONDS" -lt "$deadline" ] || fail "no visible window titled 'Kestrune' within ${WINDOW_TIMEOUT_S} s"
  window=$(xdotool search --onlyvisible --name '^Kestrune$' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] || sleep 0.2
done

# The whole window: the menu bar lies above the client area.
eval "$(xdotool getwindowgeometry --shell "$window")"
if [ "$WIDTH" -ne "$CLIENT_W" ] || [ "$HEIGHT" -le "$CLIENT_H" ]; then
  fail "the window is ${WIDTH}x${HEIGHT}, not a ${CLIENT_W}x${CLIENT_H} client area under a menu bar"
fi
menu_h=$((HEIGHT - CLIENT_H))

traces_show() {
  local shot
  for shot in a b; do
    "$work/window_image" grab "$window" "$CLIENT_W" "$CLIENT_H" "$work/$shot.ppm" \
      || fail "cannot take the window's picture"
    sleep 0.5
  done
  # shellcheck disable=SC2086 # the rectangle is four numbers
  measured=$("$work/window_image" traces "$work/a.ppm" "$work/b.ppm" $SCOPE_RECT) \
    || fail "cannot measure the pictures"
  local red lime changed
  read -r red lime changed < <(echo "$measured" | sed 's/[a-z_]*=//g')
  [ "$red" -ge "$MIN_TRACE_ROWS" ] && [ "$lime" -ge "$MIN_TRACE_ROWS" ] \
    && [ "$changed" -ge "$MIN_CHANGED_PIXELS" ]
}

picture() {
  "$work/window_image" grab "$window" "$WIDTH" "$HEIGHT" "$work/window.ppm" \
    || fail "cannot take the window's picture"
  "$tool" png "$work/window.ppm" "$images/$1" >/dev/null 2>"$work/tool.log" \
    || fail "cannot write $1: $(cat "$work/tool.log")"
  say "made $1"
}

# The pointer away from the window, so that nothing shows it hovering.
xdotool mousemove 0 0 || fail "cannot move the pointer"

# Taken once both traces show, as the whole-program test sees them: each
# spans many rows of the scope, and they move.
sleep "$SETTLE_S"
deadline=$((SECONDS + TRACES_TIMEOUT_S))
until traces_show; do
  [ "$SECONDS" -lt "$deadline" ] || fail "the traces did not show within ${TRACES_TIMEOUT_S} s ($measured)"
  sleep 0.5
done
picture main-window.png

xdotool mousemove --window "$window" "$SPECTRUM_BUTTON_X" $((menu_h + SPECTRUM_BUTTON_Y)) \
  click 1 mousemove 0 0 || fail "cannot click the spectrum button"
sleep "$SPECTRUM_SETTLE_S"
picture main-window-spectrum.png

running "$app_pid" || fail "kestrune ended while its pictures were taken"
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
say "every picture is in docs/images"
