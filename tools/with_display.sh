#!/usr/bin/env bash
# Usage: with_display.sh BUILD_DIR COMMAND [ARGS...]
# Runs COMMAND on a virtual display of its own, 1024 x 768, whose work area is smaller than the
# screen on every side, as a desktop with docked bars has: only then can a test tell a window
# kept within the work area from one kept on the screen. However COMMAND ends (failed, timed
# out, interrupted), the Wine servers of BUILD_DIR's prefixes and the display end with it.
# Exits with COMMAND's status.
set -uo pipefail
build=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
# x, y, width, height: the work area is (16, 24) to (1008, 728).
work_area="16, 24, 992, 704"

xvfb=""
command=""
fifo=$(mktemp -u)
# Ending the build's Wine servers also ends every Windows program COMMAND left running there.
cleanup() {
  [ -n "$command" ] && kill -TERM "$command" 2>/dev/null
  "$here/stop_wine.sh" "$build"
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
  fi
  rm -f "$fifo"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Wine's desktop reads the work area when its server starts; none may be left from another display.
"$here/stop_wine.sh" "$build"
mkfifo "$fifo"
# -displayfd picks a free display number and writes it once the server listens. -noreset keeps
# the work area: without it the server resets, and forgets it, whenever its last client leaves.
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 3>"$fifo" 2>/dev/null &
xvfb=$!
if ! read -r -t 30 display <"$fifo"; then
  echo "with_display.sh: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=:$display
if ! xprop -root -f _NET_WORKAREA 32cccc -set _NET_WORKAREA "$work_area"; then
  echo "with_display.sh: could not set the work area of display $DISPLAY" >&2
  exit 1
fi
# In the background, so that a signal is answered at once rather than once COMMAND has ended.
"$@" <&0 &
command=$!
wait "$command"
status=$?
command=""
exit $status
