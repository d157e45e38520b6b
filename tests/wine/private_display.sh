# Sourced by the Wine desktop tests: a private X server on a free display,
# and the prefix's Wine drawing on it with its X11 driver. Sets DISPLAY and
# xvfb_pid (the caller's cleanup ends it).
start_private_display() {  # start_private_display WORK-DIR PREFIX
  local work=$1 prefix=$2
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$work/display")"
  "$here/run.sh" "$prefix" C.UTF-8 reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f >/dev/null 2>&1
  # The desktop process that reg started still holds the null driver; the
  # importer must start a new one, which reads the X11 driver.
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
}
