#include "window_access.h"

#include "deadline.h"

namespace gui_driver {

const char kDialogClass[] = "#32770";

namespace {

// Questions to the program are answered at once by an idle message loop; the bound only keeps
// the driver from hanging on a program that is stuck.
const UINT kAnswerTimeoutMs = 5000;
// The platform's message box puts its text in a static control with this id.
const int kMessageBoxTextId = 0xFFFF;

struct WindowSearch {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindowOfProcess(HWND window, LPARAM context) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && IsWindowVisible(window)) search->found.push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectDirectChild(HWND window, LPARAM context) {
  auto* children = reinterpret_cast<std::pair<HWND, std::vector<HWND>>*>(context);
  if (GetParent(window) == children->first) children->second.push_back(window);
  return TRUE;
}

std::vector<HWND> DirectChildren(HWND parent) {
  std::pair<HWND, std::vector<HWND>> children(parent, {});
  EnumChildWindows(parent, CollectDirectChild, reinterpret_cast<LPARAM>(&children));
  return children.second;
}

BOOL CALLBACK CollectDescendant(HWND window, LPARAM context) {
  reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  return TRUE;
}

bool NeedsPainting(HWND window) {
  std::vector<HWND> windows = {window};
  EnumChildWindows(window, CollectDescendant, reinterpret_cast<LPARAM>(&windows));
  for (HWND each : windows) {
    if (IsWindowVisible(each) && GetUpdateRect(each, nullptr, FALSE)) return true;
  }
  return false;
}

bool IsIconStatic(HWND window) {
  return ClassName(window) == "Static" &&
         (GetWindowLongA(window, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

LRESULT AskWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerTimeoutMs,
                           &answer)) {
    return 0;
  }
  return static_cast<LRESULT>(answer);
}

GUITHREADINFO ThreadInfo(DWORD threadId) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(threadId, &info)) info = GUITHREADINFO{};
  return info;
}

}  // namespace

std::vector<HWND> TopLevelWindowsOf(DWORD processId) {
  WindowSearch search = {processId, {}};
  EnumWindows(CollectWindowOfProcess, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindWindowOf(DWORD processId, const char* className, const char* caption) {
  for (HWND window : TopLevelWindowsOf(processId)) {
    if (ClassName(window) != className) continue;
    if (caption && WindowText(window) != caption) continue;
    return window;
  }
  return nullptr;
}

HWND WaitForWindow(DWORD processId, const char* className, const char* caption, DWORD timeoutMs) {
  HWND found = nullptr;
  PollUntil([&] { return (found = FindWindowOf(processId, className, caption)) != nullptr; },
            timeoutMs);
  return found;
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
  return PollUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

bool WaitForPainted(HWND window, DWORD timeoutMs) {
  return PollUntil([&] { return IsWindow(window) && !NeedsPainting(window); }, timeoutMs);
}

// Reads the text the window was given; for another process's window this does not call into
// that process, so it works while the program is busy.
std::string WindowText(HWND window) {
  char text[1024] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string ClassName(HWND window) {
  char name[256] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

RECT WindowRect(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return rect;
}

ControlState ReadWindow(HWND window) {
  ControlState state;
  if (!window) return state;
  state.window = window;
  state.id = GetDlgCtrlID(window);
  state.className = ClassName(window);
  state.text = WindowText(window);
  state.style = GetWindowLongA(window, GWL_STYLE);
  state.exStyle = GetWindowLongA(window, GWL_EXSTYLE);
  state.enabled = IsWindowEnabled(window) != FALSE;
  state.visible = IsWindowVisible(window) != FALSE;
  state.rect = WindowRect(window);
  return state;
}

ControlState ReadControl(HWND dialog, int id) { return ReadWindow(GetDlgItem(dialog, id)); }

std::vector<ControlState> ReadControls(HWND dialog) {
  std::vector<ControlState> controls;
  for (HWND child : DirectChildren(dialog)) controls.push_back(ReadWindow(child));
  return controls;
}

HANDLE StaticImage(HWND staticControl, UINT imageType) {
  return reinterpret_cast<HANDLE>(AskWithTimeout(staticControl, STM_GETIMAGE, imageType, 0));
}

std::string MessageBoxText(HWND box) { return WindowText(GetDlgItem(box, kMessageBoxTextId)); }

// A box without an icon may still carry the icon control, hidden or empty.
bool MessageBoxHasIcon(HWND box) {
  for (HWND child : DirectChildren(box)) {
    if (IsIconStatic(child) && IsWindowVisible(child) && StaticImage(child, IMAGE_ICON)) {
      return true;
    }
  }
  return false;
}

HWND FocusOf(DWORD threadId) { return ThreadInfo(threadId).hwndFocus; }

HWND CaptureOf(DWORD threadId) { return ThreadInfo(threadId).hwndCapture; }

bool IsInMoveLoop(DWORD threadId) { return (ThreadInfo(threadId).flags & GUI_INMOVESIZE) != 0; }

bool IsButtonPushed(HWND button) {
  return (AskWithTimeout(button, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
}

// The button runs its own click handling, as it would for the mouse, and notifies its dialog.
bool PressButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  return button && PostMessageA(button, BM_CLICK, 0, 0);
}

bool PostCommand(HWND dialog, int id) {
  return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool PostSystemCommand(HWND window, WPARAM command) {
  return PostMessageA(window, WM_SYSCOMMAND, command, 0);
}

bool SendSystemCommandAndWait(HWND window, WPARAM command, DWORD timeoutMs) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, WM_SYSCOMMAND, command, 0, SMTO_ABORTIFHUNG, timeoutMs,
                             &result) != 0;
}

// A key such as Escape can end the window with its key-down, on a loaded machine before the
// key-up is posted; the key has then done its work and its key-up has no window left to go to.
bool PostKeyPress(HWND window, DWORD threadId, UINT virtualKey) {
  HWND focus = FocusOf(threadId);
  HWND target = focus && (focus == window || IsChild(window, focus)) ? focus : window;
  UINT scanCode = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
  LPARAM down = 1 | (static_cast<LPARAM>(scanCode) << 16);
  // Bits 30 and 31: the key was down and is being released.
  LPARAM up = down | static_cast<LPARAM>(0xC0000000u);
  if (!PostMessageA(target, WM_KEYDOWN, virtualKey, down)) return false;
  return PostMessageA(target, WM_KEYUP, virtualKey, up) || !IsWindow(target);
}

bool ConfirmMessageBox(HWND box) {
  return GetDlgItem(box, IDOK) ? PressButton(box, IDOK) : PostCommand(box, IDOK);
}

}  // namespace gui_driver
