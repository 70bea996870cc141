# Sourced by the whole-program test and benchmark (bash): a PulseAudio server
# of the caller's own, whose null sink's monitor is the default capture
# source, fed by paplay in a loop with the stereo tone of stereo_tone.c.
#
#   sound_server_start <work folder> <sink name> <stereo_tone binary>
#     Starts the server with its socket in $XDG_RUNTIME_DIR/pulse (the caller
#     gives the programs a runtime folder and home of their own, so no user's
#     server is touched), exports PULSE_SERVER, makes the sink and its monitor
#     the defaults and starts the player. Fails (status 1) when no server can
#     start; nothing is left running then.
#   sound_server_kill
#     Kills the server (SIGKILL, as a crashed sound service ends) and waits
#     until it has gone; the player keeps trying.
#   sound_server_restart
#     Starts the killed server again on the same socket, with the same sink
#     and defaults; the player goes on by itself once the server answers.
#     Fails (status 1) when the server does not come back.
#   sound_server_stop
#     Stops the player and the server.
# Needs pulseaudio, pactl and paplay (pulseaudio, pulseaudio-utils).

readonly SOUND_SERVER_TIMEOUT_S=10
sound_server_pid=""
sound_player_pid=""

sound_server_stop() {
  local pid
  for pid in "$sound_player_pid" "$sound_server_pid"; do
    if [ -n "$pid" ]; then
      kill "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
    fi
  done
  sound_player_pid=""
  sound_server_pid=""
}

sound_server_work=""
sound_server_sink=""

# Starts the server process and waits until it answers with its sink and
# the defaults set; status 1 (the process ended) when it does not.
sound_server_launch() {
  local socket="$XDG_RUNTIME_DIR/pulse/native"
  mkdir -p -m 0700 "$XDG_RUNTIME_DIR/pulse"
  # -n: none of the system's start-up script (no hardware, no other modules).
  pulseaudio -n --daemonize=no --use-pid-file=no --exit-idle-time=-1 --disallow-exit \
    --disable-shm=yes --realtime=no --high-priority=no --log-target=stderr \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$socket" \
    -L "module-null-sink sink_name=$sound_server_sink rate=44100 channels=2" \
    >>"$sound_server_work/pulse.log" 2>&1 &
  sound_server_pid=$!
  export PULSE_SERVER="unix:$socket"
  local deadline=$((SECONDS + SOUND_SERVER_TIMEOUT_S))
  until pactl info >/dev/null 2>&1; do
    # An ended child not yet waited for still answers kill -0: read its state.
    local state
    state=$(awk '{print $3}' "/proc/$sound_server_pid/stat" 2>/dev/null || true)
    if [ -z "$state" ] || [ "$state" = Z ] || [ "$SECONDS" -ge "$deadline" ]; then
      kill "$sound_server_pid" 2>/dev/null || true
      wait "$sound_server_pid" 2>/dev/null || true
      sound_server_pid=""
      return 1
    fi
    sleep 0.1
  done
  pactl set-default-sink "$sound_server_sink" \
    && pactl set-default-source "$sound_server_sink.monitor"
}

sound_server_kill() {
  if [ -n "$sound_server_pid" ]; then
    kill -KILL "$sound_server_pid" 2>/dev/null || true
    wait "$sound_server_pid" 2>/dev/null || true
    sound_server_pid=""
  fi
}

sound_server_restart() {
  sound_server_launch
}

sound_server_start() {
  local work=$1 sink=$2 tone=$3
  command -v pulseaudio >/dev/null && command -v pactl >/dev/null \
    && command -v paplay >/dev/null || return 1
  sound_server_work=$work
  sound_server_sink=$sink
  : >"$work/pulse.log"
  if ! sound_server_launch || ! "$tone" wav 10 "$work/tone.wav"; then
    sound_server_stop
    unset PULSE_SERVER
    return 1
  fi
  (
    child=""
    trap '[ -n "$child" ] && kill "$child" 2>/dev/null; exit 0' TERM
    while :; do
      # Fails at once while the server is away; tried again then. A short
      # latency makes the null sink start rendering (and so its monitor
      # deliver) soon after the player connects.
      paplay --latency-msec=100 --device="$sink" "$work/tone.wav" 2>>"$work/player.log" &
      child=$!
      wait "$child" || sleep 0.2
    done
  ) &
  sound_player_pid=$!
  return 0
}
