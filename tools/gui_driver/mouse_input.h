// Mouse input through the platform's input queue, the way a user's hand produces it: the
// program gets its own hit testing, capture and window-move loop, not messages made up for it.
//
//   PressLeftButtonAt(start);
//   MoveMouseUntil(end, [&] { return WindowRect(dialog).left == expectedLeft; }, timeoutMs);
//   ReleaseLeftButtonAt(end);
// Under Wine on X11 the driver's moves also move the X pointer, and the program hears of the
// pointer entering or moving over its window from X a moment later, as a move to where the
// pointer then was; on a loaded machine that can be after the driver's next move. Such a late
// move can undo a later one, so MoveMouseUntil keeps moving, as a hand does, until the program
// shows it has followed; and a press or release carries its own place, so that a late move
// cannot put it somewhere else.
#ifndef QB7_GUI_DRIVER_MOUSE_INPUT_H
#define QB7_GUI_DRIVER_MOUSE_INPUT_H

#include <windows.h>

#include "deadline.h"

namespace gui_driver {

// How often MoveMouseUntil moves again while the program has not followed.
const DWORD kMoveAgainIntervalMs = 200;

bool MoveMouseTo(POINT screenPoint);
// Moves there and presses, or releases, in one input event.
bool PressLeftButtonAt(POINT screenPoint);
bool ReleaseLeftButtonAt(POINT screenPoint);

// Moves to `target` and, until `followed` holds or the deadline passes, moves a pixel away and
// back again now and then. True when the program followed; the mouse is then at `target`.
template <typename Condition>
bool MoveMouseUntil(POINT target, Condition followed, DWORD timeoutMs) {
  if (!MoveMouseTo(target)) return false;
  Deadline moveAgain(kMoveAgainIntervalMs);
  return PollUntil(
      [&] {
        if (followed()) return true;
        if (moveAgain.Passed()) {
          MoveMouseTo({target.x + 1, target.y});
          MoveMouseTo(target);
          moveAgain = Deadline(kMoveAgainIntervalMs);
        }
        return false;
      },
      timeoutMs);
}

// The user's choice to see window contents while dragging (the default of Windows since XP);
// then a dragged window follows the mouse at once instead of only when the button is released.
// Applies to programs started afterwards.
bool ShowWindowContentsWhileDragging(bool on);

}  // namespace gui_driver

#endif
