#include "wnd.h"

#include "win_app.h"

namespace {

typedef HMONITOR(WINAPI* MonitorFromWindowFn)(HWND, DWORD);
typedef BOOL(WINAPI* GetMonitorInfoFn)(HMONITOR, MONITORINFO*);

// The work area of the monitor nearest `window`, or of the primary monitor when that is null.
// Windows 95 and NT 4.0 know one monitor and have no monitor functions, so those are looked up
// by name, with the primary work area as the fallback.
RECT WorkAreaNear(HWND window) {
  RECT area;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  HMODULE user = GetModuleHandleA("user32.dll");
  auto monitorFromWindow = reinterpret_cast<MonitorFromWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(user, "MonitorFromWindow")));
  auto getMonitorInfo = reinterpret_cast<GetMonitorInfoFn>(
      reinterpret_cast<void*>(GetProcAddress(user, "GetMonitorInfoA")));
  if (!window || !monitorFromWindow || !getMonitorInfo) return area;
  MONITORINFO info;
  info.cbSize = sizeof info;
  if (getMonitorInfo(monitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info)) {
    area = info.rcWork;
  }
  return area;
}

// Moves a span of `length` starting at `start` into [low, high); when it is longer than that,
// its start stays at `low`.
int KeepWithin(int start, int length, int low, int high) {
  if (start + length > high) start = high - length;
  return start < low ? low : start;
}

}  // namespace

// Like the platform's framework, the window stays within the work area even when the window it
// is centred over is partly off-screen.
void CWnd::CenterWindow(HWND over) {
  RECT area = WorkAreaNear(over);
  RECT centre = area;
  if (over) GetWindowRect(over, &centre);
  RECT window;
  GetWindowRect(m_hWnd, &window);
  int width = window.right - window.left;
  int height = window.bottom - window.top;
  int x = centre.left + (centre.right - centre.left - width) / 2;
  int y = centre.top + (centre.bottom - centre.top - height) / 2;
  x = KeepWithin(x, width, area.left, area.right);
  y = KeepWithin(y, height, area.top, area.bottom);
  SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CWnd::OnCommand(WPARAM wParam, LPARAM) {
  UINT id = LOWORD(wParam);
  UINT code = HIWORD(wParam);
  if (OnCmdMsg(id, code)) return true;
  CWinApp* app = AfxGetApp();
  return app && app->OnCmdMsg(id, code);
}

// A handler may run a message loop of its own (a modal box), and the messages it dispatches to
// this window make requests of their own; each dispatch keeps its own.
bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  bool outerRequest = m_defaultRequested;
  m_defaultRequested = false;
  bool handled = Dispatch(message, wParam, lParam, result);
  m_defaultRequested = outerRequest;
  return handled;
}

bool CWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  *result = 0;
  if (message == WM_COMMAND) return OnCommand(wParam, lParam) && !m_defaultRequested;

  const AFX_MSGMAP_ENTRY* entry = FindEntry(message, 0, 0);
  if (!entry) return false;
  switch (entry->sig) {
    case AfxSig_v: (this->*reinterpret_cast<void (CWnd::*)()>(entry->handler))(); break;
    case AfxSig_hc:
      *result = reinterpret_cast<LRESULT>(
          (this->*reinterpret_cast<HCURSOR (CWnd::*)()>(entry->handler))());
      break;
    case AfxSig_vwl:
      (this->*reinterpret_cast<void (CWnd::*)(UINT, LPARAM)>(entry->handler))(
          static_cast<UINT>(wParam), lParam);
      break;
    case AfxSig_end: break;
  }
  return !m_defaultRequested;
}
