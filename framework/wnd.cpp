#include "wnd.h"

#include "win_app.h"

void CWnd::CenterWindow(HWND over) {
  RECT area;
  if (over) {
    GetWindowRect(over, &area);
  } else {
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  }
  RECT window;
  GetWindowRect(m_hWnd, &window);
  int width = window.right - window.left;
  int height = window.bottom - window.top;
  int x = area.left + (area.right - area.left - width) / 2;
  int y = area.top + (area.bottom - area.top - height) / 2;
  SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CWnd::OnCommand(WPARAM wParam, LPARAM) {
  UINT id = LOWORD(wParam);
  UINT code = HIWORD(wParam);
  if (OnCmdMsg(id, code)) return true;
  CWinApp* app = AfxGetApp();
  return app && app->OnCmdMsg(id, code);
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  *result = 0;
  m_defaultRequested = false;
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
