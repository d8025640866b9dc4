#!/usr/bin/env bash
# The private screen every Wine program of this project runs on: an Xvfb, a window manager (Wine's
# X11 driver waits about two seconds for every window it hides when none runs), the prefix, and one
# wineserver with the prefix's services, all detached from the caller's output (a Wine service that
# inherited a test's stdout would keep ctest waiting for that test long after it ended).
#   session.sh start STATE PREFIX [KEEPER]  -> prints the display (":N"); STATE/display holds it
#     too. KEEPER: a Windows program that runs for the whole session (it keeps Wine's desktop up).
#   session.sh stop STATE PREFIX
#   session.sh display STATE       -> the display of a running session, or nothing
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cmd=$1
state=$2

# Started processes are kept as STATE/NAME.pid and STATE/NAME.cmd (their command line): a pid
# whose process now runs another command was reused, and is never signalled.
launch() {
  local name=$1
  shift
  setsid "$@" </dev/null >/dev/null 2>&1 &
  echo $! >"$state/$name.pid"
  printf '%s\0' "$@" >"$state/$name.cmd"
}
alive() {
  local pid
  [ -f "$state/$1.pid" ] && [ -f "$state/$1.cmd" ] || return 1
  pid=$(cat "$state/$1.pid")
  # Read through a pipe: cmp -s takes a /proc file's size (0) for its length.
  kill -0 "$pid" 2>/dev/null && cat "/proc/$pid/cmdline" 2>/dev/null | cmp -s - "$state/$1.cmd"
}

# True once a process has ended: gone, or a zombie (its exit is complete; the init process here
# reaps orphans only about once a second).
ended() {
  ! kill -0 "$1" 2>/dev/null || [ "$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -c1)" = Z ]
}

# Polls a command for up to ten seconds.
wait_for() {
  local i
  for i in $(seq 1 100); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

display() {
  if [ -f "$state/display" ] && alive xvfb && alive wm; then cat "$state/display"; fi
}

stop() {
  local prefix=$1
  if [ -f "$prefix/system.reg" ]; then
    (. "$here/wine-env.sh" "$prefix" && wineserver -k) >/dev/null 2>&1 || true
  fi
  # Wait for each to go: an Xvfb still shutting down removes the socket of the next one that took
  # its display number.
  local name pid
  for name in wm xvfb; do
    if alive "$name"; then
      pid=$(cat "$state/$name.pid")
      kill "$pid" 2>/dev/null || true
      wait_for ended "$pid" || { alive "$name" && kill -9 "$pid"; } || true
    fi
    rm -f "$state/$name.pid" "$state/$name.cmd"
  done
  rm -f "$state/display"
}

# Starts an Xvfb on a free display and the window manager on it; false when either did not come up.
start_screen() {
  local fd=$state/displayfd
  : >"$fd"
  exec 3>"$fd"
  launch xvfb Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp
  exec 3>&-
  wait_for test -s "$fd" || return 1
  export DISPLAY=":$(head -n1 "$fd" | tr -d '[:space:]')"
  rm -f "$fd"
  launch wm fvwm -f "$here/fvwm.conf"
  wait_for sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"'
}

start() {
  local prefix=$1 keeper=${2:-} attempt
  mkdir -p "$state"
  # A run that was interrupted left its session up: its wineserver (and with it the keeper and
  # every Wine program), window manager and Xvfb go first.
  stop "$prefix"
  # Seen now and then on a busy machine: the new Xvfb gone before the window manager connects.
  for attempt in 1 2 3; do
    start_screen && break
    stop "$prefix"
    [ "$attempt" -lt 3 ] || { echo "no screen with a window manager could be started" >&2; exit 1; }
  done

  "$here/wine-prefix.sh" "$prefix"
  . "$here/wine-env.sh" "$prefix"
  setsid wineserver -p </dev/null >/dev/null 2>&1
  # Wine draws its own captions (the window manager draws none), as on a bare screen.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f </dev/null >/dev/null 2>&1 || true
  # Ended with the wineserver at stop.
  if [ -n "$keeper" ]; then setsid wine "$keeper" </dev/null >/dev/null 2>&1 & fi
  echo "$DISPLAY" >"$state/display"
  echo "$DISPLAY"
}

case $cmd in
  start) start "$3" "${4:-}" ;;
  stop) stop "$3" ;;
  display) display ;;
  *) echo "usage: $0 start|stop|display STATE [PREFIX [KEEPER]]" >&2; exit 2 ;;
esac
