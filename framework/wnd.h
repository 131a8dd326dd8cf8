// A window object: its handle, message dispatch through the message maps, and the default
// handlers that hand a message back to the platform.
#ifndef QB7_FRAMEWORK_WND_H
#define QB7_FRAMEWORK_WND_H

#include <windows.h>

#include "cmd_target.h"

class CWnd : public CCmdTarget {
 public:
  HWND m_hWnd = nullptr;

  HWND GetSafeHwnd() const { return m_hWnd; }
  // Centres the window over `over`, or over the work area of the screen when that is null; it
  // stays within the work area of the monitor `over` is on.
  void CenterWindow(HWND over);

  // Called from a handler that wants the platform's default processing of its message as well.
  void Default() { m_defaultRequested = true; }

  // Default handlers, reached through the message maps of derived classes.
  void OnPaint() { Default(); }
  HCURSOR OnQueryDragIcon() {
    Default();
    return nullptr;
  }
  void OnSysCommand(UINT, LPARAM) { Default(); }

  // Called for every window message; false when the platform's default processing should run.
  bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

 protected:
  // Called for WM_COMMAND; unhandled commands go to the application object.
  virtual bool OnCommand(WPARAM wParam, LPARAM lParam);

 private:
  // Runs the handler of one message; false when the handler asked for default processing.
  bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

  bool m_defaultRequested = false;
};

#endif
