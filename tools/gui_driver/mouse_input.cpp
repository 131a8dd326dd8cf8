#include "mouse_input.h"

namespace gui_driver {

namespace {

bool SendMouseEvent(DWORD flags, LONG dx, LONG dy) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  input.mi.dx = dx;
  input.mi.dy = dy;
  return SendInput(1, &input, sizeof input) == 1;
}

// Absolute input is given on a 0..65536 scale of the primary screen, which the platform maps
// back by multiplying with the screen size and dropping the fraction; rounding up here makes
// that land on the very pixel asked for.
LONG ToAbsolute(LONG pixel, int screenSize) {
  return static_cast<LONG>((static_cast<LONGLONG>(pixel) * 65536 + screenSize - 1) / screenSize);
}

bool SendMouseEventAt(DWORD flags, POINT screenPoint) {
  LONG dx = ToAbsolute(screenPoint.x, GetSystemMetrics(SM_CXSCREEN));
  LONG dy = ToAbsolute(screenPoint.y, GetSystemMetrics(SM_CYSCREEN));
  return SendMouseEvent(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags, dx, dy);
}

}  // namespace

// A move event, not SetCursorPos alone: only input events tell the window under the cursor,
// and a drag or a button's pushed state follows those.
bool MoveMouseTo(POINT screenPoint) {
  if (!SendMouseEventAt(0, screenPoint)) return false;
  POINT cursor;
  // Should the platform round differently, the cursor is put right; the event has been sent.
  if (GetCursorPos(&cursor) && (cursor.x != screenPoint.x || cursor.y != screenPoint.y)) {
    return SetCursorPos(screenPoint.x, screenPoint.y) != FALSE;
  }
  return true;
}

bool PressLeftButtonAt(POINT screenPoint) {
  return SendMouseEventAt(MOUSEEVENTF_LEFTDOWN, screenPoint);
}

bool ReleaseLeftButtonAt(POINT screenPoint) {
  return SendMouseEventAt(MOUSEEVENTF_LEFTUP, screenPoint);
}

// Stored with the user's settings, where programs read it when they start; no broadcast, so
// running programs are left alone.
bool ShowWindowContentsWhileDragging(bool on) {
  return SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, on, nullptr, SPIF_UPDATEINIFILE) != FALSE;
}

}  // namespace gui_driver
