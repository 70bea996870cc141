#!/usr/bin/env bash
# The install script's choice of packages, run against stand-ins for
# dpkg-query (answering from a list of installed packages) and apt-get
# (recording its arguments): it never lets apt remove a package, and asks
# for the PulseAudio server only where no other sound server is installed.
#
#   install_deps_test.sh <scripts/install-deps.sh>
set -euo pipefail

script=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"

# dpkg-query -W -f='${Status}' <package>: installed when listed in
# $work/installed ("*" there: every package but PipeWire's).
cat >"$work/bin/dpkg-query" <<'STUB'
#!/usr/bin/env bash
package=${!#}
while read -r listed; do
  if [ "$listed" = "$package" ] || { [ "$listed" = '*' ] && [[ $package != pipewire* ]]; }; then
    printf 'install ok installed'
    exit 0
  fi
done <"$FAKE_WORK/installed"
exit 1
STUB
# apt-get: one line of arguments per call; `install` exits with
# $work/apt-status (apt's 100 when it refuses).
cat >"$work/bin/apt-get" <<'STUB'
#!/usr/bin/env bash
printf '%s\n' "$*" >>"$FAKE_WORK/apt-calls"
[ "$1" = update ] && exit 0
exit "$(cat "$FAKE_WORK/apt-status")"
STUB
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/"*

failures=0
fail() {
  echo "FAIL ($case_name): $*" >&2
  failures=$((failures + 1))
}

# Runs the script with `installed` (one package per line) on the machine and
# apt answering `apt_status`; sets status, calls (apt-get's argument lines),
# installs (the install lines) and stderr.
run_script() {
  printf '%s\n' "$1" | tr ' ' '\n' >"$work/installed"
  echo "$2" >"$work/apt-status"
  : >"$work/apt-calls"
  set +e
  FAKE_WORK=$work PATH="$work/bin:$PATH" bash "$script" 2>"$work/stderr" >/dev/null
  status=$?
  set -e
  calls=$(cat "$work/apt-calls")
  installs=$(grep '^install ' "$work/apt-calls" || true)
  stderr=$(cat "$work/stderr")
}

# Whether the install lines ask for package $1 (a whole word, so that
# pulseaudio-utils is not pulseaudio).
asks_for() { grep -qE "(^| )$1( |$)" <<<"$installs"; }

every_install_keeps_packages() {
  [ -n "$installs" ] || fail "no install"
  while read -r line; do
    [[ " $line " == *" --no-remove "* ]] || fail "an install that may remove packages: $line"
  done <<<"$installs"
}

# case name | installed | wants pulseaudio
cases=(
  "PipeWire desktop|pipewire-audio pipewire-alsa pipewire-pulse wireplumber|no"
  "PipeWire with its pulse server only|pipewire pipewire-pulse|no"
  "PipeWire's ALSA device only|pipewire pipewire-alsa|no"
  "no sound server|libc6|yes"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r case_name installed wants <<<"$entry"
  run_script "$installed" 0
  [ "$status" -eq 0 ] || fail "status $status: $stderr"
  every_install_keeps_packages
  asks_for pulseaudio-utils || fail "pulseaudio-utils not asked for: $installs"
  asks_for libasound2-plugins || fail "libasound2-plugins not asked for: $installs"
  if [ "$wants" = yes ]; then
    asks_for pulseaudio || fail "pulseaudio not asked for: $installs"
  else
    asks_for pulseaudio && fail "pulseaudio asked for beside PipeWire: $installs"
  fi
done

case_name="everything there"
run_script "*" 0
[ "$status" -eq 0 ] || fail "status $status: $stderr"
[ -z "$calls" ] || fail "apt-get called: $calls"

case_name="a conflict stops the install"
run_script "pipewire-audio" 100
[ "$status" -ne 0 ] || fail "a refused install reported as success"
every_install_keeps_packages
grep -q "nothing was removed" <<<"$stderr" || fail "no clear message: $stderr"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "install-deps: all cases pass"
