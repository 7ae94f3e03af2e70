# Sourced, not run: start_private_display starts an Xvfb on the first free display from :90
# when DISPLAY is unset, exports DISPLAY and sets xvfb_pid (empty when a display was there
# already), so windows that are not message-only can open under Wine on a machine without X.
start_private_display() {
  xvfb_pid=""
  [ -n "${DISPLAY:-}" ] && return 0
  local n
  for n in $(seq 90 199); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
  done
  Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
}
