#!/usr/bin/env bash
# Installs every Debian package Kestrune needs to build, run and test.
# Idempotent: does nothing (quietly) when everything is already there, and runs
# `apt-get update` only when something must be installed.
set -euo pipefail

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
  pulseaudio pulseaudio-utils libasound2-plugins
  # whole-program benchmark only: the comparison program, run as a black box,
  # and the X damage extension our frame counter listens to
  xoscope libxdamage-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
