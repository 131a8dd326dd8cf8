// Finding, reading and working the windows of another process through user32, the way a user's
// eyes and hands would; no code of ours runs inside the program (window_probe.h is for what
// user32 does not show across processes).
//
//   HWND dialog = WaitForWindow(program.Id(), kDialogClass, nullptr, kWindowTimeoutMs);
//   ControlState install = ReadControl(dialog, 1006);
//   PressButton(dialog, 1006);
//   HWND notice = WaitForWindow(program.Id(), kDialogClass, "Status", kWindowTimeoutMs);
//   std::string text = MessageBoxText(notice);
//   ConfirmMessageBox(notice);
// Actions post their messages and return at once: the program may block (it waits for the
// installer on its only thread), and a sent message would block the driver with it.
#ifndef QB7_GUI_DRIVER_WINDOW_ACCESS_H
#define QB7_GUI_DRIVER_WINDOW_ACCESS_H

#include <windows.h>

#include <string>
#include <vector>

namespace gui_driver {

// The platform's class of dialog boxes, message boxes included.
extern const char kDialogClass[];

// The visible top-level windows of a process, in Z order.
std::vector<HWND> TopLevelWindowsOf(DWORD processId);
// A visible top-level window of the process with this class and, unless null, this caption.
HWND FindWindowOf(DWORD processId, const char* className, const char* caption);
HWND WaitForWindow(DWORD processId, const char* className, const char* caption, DWORD timeoutMs);
bool WaitForWindowGone(HWND window, DWORD timeoutMs);
// True once nothing in the window waits to be painted, so a screenshot shows it whole.
bool WaitForPainted(HWND window, DWORD timeoutMs);

struct ControlState {
  HWND window = nullptr;
  int id = 0;
  std::string className;
  std::string text;
  LONG style = 0;
  LONG exStyle = 0;
  bool enabled = false;
  bool visible = false;
  RECT rect = {};  // in screen coordinates
};

std::string WindowText(HWND window);
std::string ClassName(HWND window);
RECT WindowRect(HWND window);
ControlState ReadWindow(HWND window);
// The state of the dialog's control `id`; `window` stays null when there is no such control.
ControlState ReadControl(HWND dialog, int id);
// The dialog's direct children in Z order, which for a dialog is its template order.
std::vector<ControlState> ReadControls(HWND dialog);

// The picture a static control shows, or null, also when the program did not answer in time.
HANDLE StaticImage(HWND staticControl, UINT imageType);

// The message box's text and whether it shows an icon.
std::string MessageBoxText(HWND box);
bool MessageBoxHasIcon(HWND box);

// The window that has the keyboard focus or the mouse capture in the program's thread.
HWND FocusOf(DWORD threadId);
HWND CaptureOf(DWORD threadId);
// True while the platform's window-move or -size loop runs in the program's thread.
bool IsInMoveLoop(DWORD threadId);
// True while a push button shows itself pressed (the mouse went down on it and is over it).
bool IsButtonPushed(HWND button);

bool PressButton(HWND dialog, int id);
bool PostCommand(HWND dialog, int id);
bool PostSystemCommand(HWND window, WPARAM command);
// For a command that must not open anything: true when the window handled it and returned
// within the time, which it cannot do while a modal box it opened is showing.
bool SendSystemCommandAndWait(HWND window, WPARAM command, DWORD timeoutMs);
// A key press as the keyboard would deliver it: to the focused window of the program's thread.
bool PostKeyPress(HWND window, DWORD threadId, UINT virtualKey);
bool ConfirmMessageBox(HWND box);

}  // namespace gui_driver

#endif
