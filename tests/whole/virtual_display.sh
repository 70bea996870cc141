# Sourced by the whole-program test and benchmark (bash).
#
#   running <pid>
#     True while the process runs (an ended child that was not waited for yet
#     still answers kill -0, so look at its state).
#   virtual_display_start <work folder>
#     Starts Xvfb on a display number nobody uses (Xvfb picks it and writes it
#     to fd 3), sets xvfb_pid and exports DISPLAY. Calls the caller's
#     `fail <message>` when the server does not come up; its log is
#     <work folder>/xvfb.log.
# Needs Xvfb (xvfb).

running() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != "Z" ] && [ "$state" != "X" ]
}

virtual_display_start() {
  local work=$1
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    running "$xvfb_pid" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    sleep 0.1
  done
  [ -s "$work/display" ] || fail "Xvfb gave no display number"
  export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
}
