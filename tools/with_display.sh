#!/usr/bin/env bash
# Usage: with_display.sh BUILD_DIR COMMAND [ARGS...]
# Runs COMMAND on a virtual display of its own, 1024 x 768, whose work area is smaller than the
# screen on every side, as a desktop with docked bars has: only then can a test tell a window
# kept within the work area from one kept on the screen. However COMMAND ends (failed, timed
# out, interrupted), the Wine servers of BUILD_DIR's prefixes and the display end with it.
# Exits with COMMAND's status.
# Where BUILD_DIR's tests run side by side on slots (BUILD_DIR/wine_slots.json), each slot gets
# a display of its own, named in QB7_DISPLAY_<slot>, so that no case's windows, focus or mouse
# meet another's; DISPLAY is slot 0's.
set -uo pipefail
build=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
# x, y, width, height: the work area is (16, 24) to (1008, 728).
work_area="16, 24, 992, 704"

xvfbs=()
command=""
fifo=$(mktemp -u)
# Ending the build's Wine servers also ends every Windows program COMMAND left running there.
cleanup() {
  [ -n "$command" ] && kill -TERM "$command" 2>/dev/null
  "$here/stop_wine.sh" "$build"
  if [ ${#xvfbs[@]} -gt 0 ]; then
    kill "${xvfbs[@]}" 2>/dev/null
    wait "${xvfbs[@]}" 2>/dev/null
  fi
  rm -f "$fifo"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# start_display SLOT: a display with the work area, named in QB7_DISPLAY_<SLOT>.
start_display() {
  local display
  # -displayfd picks a free display number and writes it once the server listens. -noreset
  # keeps the work area: without it the server resets, and forgets it, whenever its last client
  # leaves.
  Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 3>"$fifo" 2>/dev/null &
  xvfbs+=($!)
  if ! read -r -t 30 display <"$fifo"; then
    echo "with_display.sh: Xvfb did not start" >&2
    exit 1
  fi
  if ! DISPLAY=:$display xprop -root -f _NET_WORKAREA 32cccc -set _NET_WORKAREA "$work_area"; then
    echo "with_display.sh: could not set the work area of display :$display" >&2
    exit 1
  fi
  export "QB7_DISPLAY_$1=:$display"
}

# Wine's desktop reads the work area when its server starts; none may be left from another display.
"$here/stop_wine.sh" "$build"
mkfifo "$fifo"
slots=1
if [ -f "$build/wine_slots.json" ]; then
  slots=$(grep -o '"id"' "$build/wine_slots.json" | wc -l)
fi
for ((slot = 0; slot < slots; slot++)); do
  start_display "$slot"
done
export DISPLAY=$QB7_DISPLAY_0
# In the background, so that a signal is answered at once rather than once COMMAND has ended.
"$@" <&0 &
command=$!
wait "$command"
status=$?
command=""
exit $status
