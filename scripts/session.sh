#!/usr/bin/env bash
# The private screen every Wine program of this project runs on: an Xvfb, a window manager (Wine's
# X11 driver waits about two seconds for every window it hides when none runs), the prefix, and one
# wineserver with the prefix's services, all detached from the caller's output (a Wine service that
# inherited a test's stdout would keep ctest waiting for that test long after it ended).
#   session.sh start STATE PREFIX  -> prints the display (":N"); STATE/display holds it too
#   session.sh stop STATE PREFIX
#   session.sh display STATE       -> the display of a running session, or nothing
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cmd=$1
state=$2

alive() { [ -f "$state/$1.pid" ] && kill -0 "$(cat "$state/$1.pid")" 2>/dev/null; }

display() {
  if [ -f "$state/display" ] && alive xvfb && alive wm; then cat "$state/display"; fi
}

stop() {
  local prefix=$1
  if [ -f "$prefix/system.reg" ]; then
    (. "$here/wine-env.sh" "$prefix" && wineserver -k) >/dev/null 2>&1 || true
  fi
  local name
  for name in wm xvfb; do
    if alive "$name"; then kill "$(cat "$state/$name.pid")" 2>/dev/null || true; fi
    rm -f "$state/$name.pid"
  done
  rm -f "$state/display"
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

start() {
  local prefix=$1
  mkdir -p "$state"
  stop "$prefix"
  local fd=$state/displayfd
  : >"$fd"
  setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fd" </dev/null >/dev/null 2>&1 &
  echo $! >"$state/xvfb.pid"
  wait_for test -s "$fd" || { echo "Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$fd" | tr -d '[:space:]')"
  rm -f "$fd"
  setsid fvwm -f "$here/fvwm.conf" </dev/null >/dev/null 2>&1 &
  echo $! >"$state/wm.pid"
  wait_for sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' ||
    { echo "the window manager did not start" >&2; exit 1; }

  "$here/wine-prefix.sh" "$prefix"
  . "$here/wine-env.sh" "$prefix"
  setsid wineserver -p </dev/null >/dev/null 2>&1
  # Wine draws its own captions (the window manager draws none), as on a bare screen.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f </dev/null >/dev/null 2>&1 || true
  echo "$DISPLAY" >"$state/display"
  echo "$DISPLAY"
}

case $cmd in
  start) start "$3" ;;
  stop) stop "$3" ;;
  display) display ;;
  *) echo "usage: $0 start|stop|display STATE [PREFIX]" >&2; exit 2 ;;
esac
