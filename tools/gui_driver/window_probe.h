// Reads window state that Wine does not show to other processes: the system menu (GetSystemMenu
// refuses another process's window) and the window's icons (WM_GETICON is not passed between
// processes). The probe DLL is hooked into the program's thread (SetWindowsHookEx,
// WH_GETMESSAGE); the platform loads it there, it reads the state when asked and hands it back
// through shared memory. It also measures the controls' texts in their own fonts, which live in
// the program's process. It changes nothing in the program (only the SystemMenuGrant below
// does, when a test asks for it). It also tells which standard icon a message box shows, which
// icon handles, private to each process, cannot.
//
//   WindowProbe probe;
//   if (ProbeWindow(probeDllPath, dialog, &probe, kWindowTimeoutMs)) ... probe.systemMenu ...
#ifndef QB7_GUI_DRIVER_WINDOW_PROBE_H
#define QB7_GUI_DRIVER_WINDOW_PROBE_H

#include <windows.h>

#include <string>
#include <vector>

namespace gui_driver {

struct MenuItem {
  UINT type = 0;   // MFT_* flags
  UINT state = 0;  // MFS_* flags
  UINT id = 0;
  std::string text;
};

// A visible control's text, measured in the program with the control's font, and the room the
// control has for it: its client area, less the frame a button draws around its text.
struct TextFit {
  int id = 0;
  SIZE needed = {};
  SIZE room = {};
};

// Which of the platform's standard icons a window's icon control shows.
enum class ShownIcon { kNone, kError, kWarning, kInformation, kQuestion, kOther };

struct WindowProbe {
  bool hasSystemMenu = false;
  std::vector<MenuItem> systemMenu;
  bool hasBigIcon = false;
  bool hasSmallIcon = false;
  ShownIcon shownIcon = ShownIcon::kNone;
  std::vector<TextFit> textFits;
};

// While it lives, every dialog of one thread of the program gets WS_SYSMENU just before that
// dialog handles WM_INITDIALOG. Windows gives every top-level window a system menu, also one
// without that style; Wine gives such a window none, so what the program adds to the system
// menu of its caption-less dialog could not be seen under Wine. Make it while the thread has
// made no window yet (Program::StartSuspended); IsActive tells whether the hook is set.
class SystemMenuGrant {
 public:
  SystemMenuGrant(const std::string& probeDllPath, DWORD threadId);
  SystemMenuGrant(const SystemMenuGrant&) = delete;
  SystemMenuGrant& operator=(const SystemMenuGrant&) = delete;
  ~SystemMenuGrant();

  bool IsActive() const { return hook_ != nullptr; }

 private:
  HMODULE dll_ = nullptr;
  HHOOK hook_ = nullptr;
};

// False when the probe could not be hooked in or the program did not answer in time (it answers
// only while its message loop runs, not while it waits for an installer).
bool ProbeWindow(const std::string& probeDllPath, HWND window, WindowProbe* probe, DWORD timeoutMs);

}  // namespace gui_driver

#endif
