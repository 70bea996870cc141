#!/usr/bin/env bash
# Installs every Debian package Kestrune needs to build, run and test.
# Idempotent: does nothing (quietly) when everything is already there, and runs
# `apt-get update` only when something must be installed. It never removes a
# package: where installing one would remove another, it stops and says so.
set -euo pipefail

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang-format
  # the format check follows includes with a small script
  python3
  # windows, painting, printing
  qt6-base-dev qt6-base-dev-tools libqt6opengl6 qt6-qpa-plugins libgl-dev libxkbcommon-dev
  # audio capture
  libasound2-dev alsa-utils
  # JPEG
  libjpeg62-turbo-dev
  # fonts
  fonts-liberation2 fontconfig
  # tests and benchmarks
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libfftw3-dev libgstreamer1.0-dev gstreamer1.0-plugins-base
  # whole-program tests: X server, window control (xdotool finds windows; the
  # close request is sent by a small helper of ours built against libx11-dev),
  # paced audio
  xvfb xauth x11-utils xdotool libx11-dev
  pulseaudio-utils libasound2-plugins
  # whole-program benchmark only: the comparison program, run as a black box,
  # and the X damage extension our frame counter listens to
  xoscope libxdamage-dev
)

# The whole-program tests' private sound server, only where the desktop has
# no other: PipeWire's packages conflict with PulseAudio's server, and apt
# would remove the desktop's sound to make room. Without it the tests use an
# ALSA device reading a FIFO.
other_sound_server() {
  local p
  for p in pipewire-audio pipewire-pulse pipewire-alsa; do
    installed "$p" && return 0
  done
  return 1
}
other_sound_server || packages+=(pulseaudio)

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
if ! $SUDO apt-get install -y -qq --no-install-recommends --no-remove "${missing[@]}" >/dev/null; then
  echo "install-deps: apt-get did not install ${missing[*]} (its message above says why)." \
    "It may not remove any package: where one conflicts, nothing was removed; install" \
    "by hand once you have chosen what may go." >&2
  exit 1
fi
