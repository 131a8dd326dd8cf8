#!/usr/bin/env bash
# Usage: wine_slot.sh PREFIX — prints the prefix a test is to use for PREFIX.
#
# `ctest -j` runs Wine cases side by side, each on a slot of the resource "wine" that
# make test hands it (tests/CMakeLists.txt writes the slots; CTest names the one it gave in
# CTEST_RESOURCE_GROUP_0_WINE, "id:N,slots:1"). Slot N is a Windows machine of its own: its
# prefixes are build/wine/slotN/prefix64 and prefix32, its display QB7_DISPLAY_N
# (tools/with_display.sh), and nothing of one case meets the other. Slot 0, and a case run
# without slots, use build/wine/prefix64 and prefix32 themselves.
#
# Sourced, it defines wine_slot_prefix and wine_slot_display instead.
wine_slot_id() {
  local group=${CTEST_RESOURCE_GROUP_0_WINE:-}
  group=${group#id:}
  echo "${group%%,*}"
}

wine_slot_prefix() {
  local slot
  slot=$(wine_slot_id)
  if [ -z "$slot" ] || [ "$slot" = 0 ]; then
    echo "$1"
  else
    echo "$(dirname "$1")/slot$slot/$(basename "$1")"
  fi
}

# The display of the case's slot, or the caller's own when the slot has none.
wine_slot_display() {
  local variable
  variable=QB7_DISPLAY_$(wine_slot_id)
  echo "${!variable:-${DISPLAY:-}}"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  wine_slot_prefix "$1"
fi
