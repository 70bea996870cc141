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
readonly SETTLE_MS=4000
readonly SPECTRUM_SETTLE_S=3
readonly SINK=kestrune_doc
# The centre of the "Analyseur spectre" button in the client area (whose size
# is kestrune_window.sh's CLIENT_W x CLIENT_H).
readonly SPECTRUM_BUTTON_X=594 SPECTRUM_BUTTON_Y=51

root=$(cd "$(dirname "$0")/.." && pwd)
whole="$root/tests/whole"
images="$root/docs/images"
build="$root/build/default"

# shellcheck source=SCRIPTDIR/../tests/whole/private_sound_server.sh
. "$whole/private_sound_server.sh"
# shellcheck source=SCRIPTDIR/../tests/whole/virtual_display.sh
. "$whole/virtual_display.sh"
# shellcheck source=SCRIPTDIR/../tests/whole/kestrune_window.sh
. "$whole/kestrune_window.sh"
work=$(mktemp -d)
xvfb_pid=""

cleanup() {
  if [ -n "$app_pid" ]; then kill -KILL "$app_pid" 2>/dev/null || true; fi
  sound_server_stop
  stop "$xvfb_pid"
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

build_helpers

# --- What the main window hides, offscreen ---------------------------------------

"$tool" widgets "$images" >/dev/null 2>"$work/tool.log" \
  || fail "cannot make the scope's pictures: $(cat "$work/tool.log")"
say "made the scope's pictures"

# --- The main window, live --------------------------------------------------------

isolate_environment
sound_server_start "$work" "$SINK" "$work/stereo_tone" \
  || fail "no sound server could start: $(cat "$work/pulse.log")"
virtual_display_start "$work"
kestrune_start "$exe"
kestrune_find_window

# The whole window: the menu bar lies above the client area.
eval "$(xdotool getwindowgeometry --shell "$window")"
if [ "$WIDTH" -ne "$CLIENT_W" ] || [ "$HEIGHT" -le "$CLIENT_H" ]; then
  fail "the window is ${WIDTH}x${HEIGHT}, not a ${CLIENT_W}x${CLIENT_H} client area under a menu bar"
fi
menu_h=$((HEIGHT - CLIENT_H))

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
wait_for_traces "$SETTLE_MS"
picture main-window.png

xdotool mousemove --window "$window" "$SPECTRUM_BUTTON_X" $((menu_h + SPECTRUM_BUTTON_Y)) \
  click 1 mousemove 0 0 || fail "cannot click the spectrum button"
sleep "$SPECTRUM_SETTLE_S"
picture main-window-spectrum.png

running "$app_pid" || fail "kestrune ended while its pictures were taken"
kestrune_close
say "every picture is in docs/images"
