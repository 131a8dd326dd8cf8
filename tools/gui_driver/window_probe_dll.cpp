// The probe DLL: loaded into the program's process by the platform when the driver hooks the
// program's thread, it answers the driver's probe message with what only that process can read,
// and changes nothing. Only its second hook, set when a test asks for a SystemMenuGrant, changes
// a style: see window_probe.h.
#include <windows.h>

#include "window_probe_protocol.h"

namespace {

UINT ProbeMessage() {
  static UINT message = RegisterWindowMessageA(QB7_PROBE_MESSAGE);
  return message;
}

void DescribeSystemMenu(HWND window, ProbeReport* report) {
  // FALSE: read the menu as it is, without making the platform reset it.
  HMENU menu = GetSystemMenu(window, FALSE);
  report->hasSystemMenu = menu != nullptr;
  if (!menu) return;
  report->menuItemCount = GetMenuItemCount(menu);
  for (int i = 0; i < report->menuItemCount && i < kProbeMaxMenuItems; ++i) {
    ProbeMenuItem* item = &report->menuItems[i];
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
    info.dwTypeData = item->text;
    info.cch = sizeof item->text;
    if (!GetMenuItemInfoA(menu, i, TRUE, &info)) continue;
    item->type = info.fType;
    item->state = info.fState;
    item->id = info.wID;
  }
}

// Sent from inside the program's own thread, so the platform answers as it would the program.
void DescribeIcons(HWND window, ProbeReport* report) {
  report->hasBigIcon = SendMessageA(window, WM_GETICON, ICON_BIG, 0) != 0;
  report->hasSmallIcon = SendMessageA(window, WM_GETICON, ICON_SMALL, 0) != 0;
}

// The platform's standard icons are shared within a process, so the handle a message box shows
// is the one LoadIcon gives here.
int StandardIconKind(HICON icon) {
  if (!icon) return kProbeIconNone;
  if (icon == LoadIconA(nullptr, IDI_HAND)) return kProbeIconError;
  if (icon == LoadIconA(nullptr, IDI_EXCLAMATION)) return kProbeIconWarning;
  if (icon == LoadIconA(nullptr, IDI_ASTERISK)) return kProbeIconInformation;
  if (icon == LoadIconA(nullptr, IDI_QUESTION)) return kProbeIconQuestion;
  return kProbeIconOther;
}

BOOL CALLBACK FindShownIcon(HWND child, LPARAM context) {
  char className[16] = "";
  GetClassNameA(child, className, sizeof className);
  bool isIconControl = lstrcmpiA(className, "Static") == 0 &&
                       (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
  if (!isIconControl || !IsWindowVisible(child)) return TRUE;
  HICON icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
  *reinterpret_cast<int*>(context) = StandardIconKind(icon);
  return icon == nullptr;
}

// What a control draws around its text, in pixels on each side: a push button its frame and
// focus rectangle, a group box the line before its caption. Statics draw the text as it is.
SIZE FrameAroundText(LONG style, bool isButton) {
  if (!isButton) return {0, 0};
  if ((style & BS_TYPEMASK) == BS_GROUPBOX) return {8, 0};
  return {4, 3};
}

BOOL CALLBACK MeasureText(HWND child, LPARAM context) {
  ProbeReport* report = reinterpret_cast<ProbeReport*>(context);
  WCHAR text[512] = L"";
  char className[16] = "";
  GetClassNameA(child, className, sizeof className);
  LONG style = GetWindowLongA(child, GWL_STYLE);
  bool isButton = lstrcmpiA(className, "Button") == 0;
  bool isTextStatic = lstrcmpiA(className, "Static") == 0 && (style & SS_TYPEMASK) <= SS_RIGHT;
  if (!IsWindowVisible(child) || !(isButton || isTextStatic) ||
      GetWindowTextW(child, text, 512) == 0 || report->textFitCount >= kProbeMaxControls) {
    return TRUE;
  }
  RECT client;
  GetClientRect(child, &client);
  SIZE frame = FrameAroundText(style, isButton);
  // A static wraps its text at the width it has; what does not fit then runs below it.
  RECT measured = {0, 0, isButton ? 0 : client.right, 0};
  UINT format = DT_CALCRECT | (isButton ? DT_SINGLELINE : DT_WORDBREAK | DT_EXPANDTABS);
  if (isTextStatic && (style & SS_NOPREFIX)) format |= DT_NOPREFIX;
  HDC dc = GetDC(child);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(child, WM_GETFONT, 0, 0)));
  DrawTextW(dc, text, -1, &measured, format);
  SelectObject(dc, old);
  ReleaseDC(child, dc);
  ProbeTextFit* fit = &report->textFits[report->textFitCount++];
  fit->id = GetDlgCtrlID(child);
  fit->needed = {measured.right, measured.bottom};
  fit->room = {client.right - 2 * frame.cx, client.bottom - 2 * frame.cy};
  return TRUE;
}

void Answer(HWND window, unsigned long request) {
  char name[64];
  wsprintfA(name, QB7_PROBE_REPORT_FORMAT, request);
  HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
  if (!mapping) return;
  void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(ProbeReport));
  if (view) {
    ProbeReport* report = static_cast<ProbeReport*>(view);
    ZeroMemory(report, sizeof *report);
    DescribeSystemMenu(window, report);
    DescribeIcons(window, report);
    EnumChildWindows(window, FindShownIcon, reinterpret_cast<LPARAM>(&report->shownIcon));
    EnumChildWindows(window, MeasureText, reinterpret_cast<LPARAM>(report));
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
  wsprintfA(name, QB7_PROBE_DONE_FORMAT, request);
  HANDLE done = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
  if (done) {
    SetEvent(done);
    CloseHandle(done);
  }
}

}  // namespace

// Called by the platform for every message the hooked thread takes from its queue.
extern "C" __declspec(dllexport) LRESULT CALLBACK
    ProbeGetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
  const MSG* msg = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && msg->message == ProbeMessage()) {
    Answer(msg->hwnd, static_cast<unsigned long>(msg->wParam));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Called by the platform before each message sent to a window of the hooked thread is handled.
extern "C" __declspec(dllexport) LRESULT CALLBACK
    GrantSystemMenuHook(int code, WPARAM wParam, LPARAM lParam) {
  const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && sent->message == WM_INITDIALOG) {
    LONG_PTR style = GetWindowLongPtrA(sent->hwnd, GWL_STYLE);
    if (!(style & WS_SYSMENU)) SetWindowLongPtrA(sent->hwnd, GWL_STYLE, style | WS_SYSMENU);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
