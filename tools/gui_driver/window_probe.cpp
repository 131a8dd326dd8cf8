#include "window_probe.h"

#include "window_probe_protocol.h"

namespace gui_driver {

namespace {

const char kHookProcName[] = "ProbeGetMessageHook";
const char kGrantHookProcName[] = "GrantSystemMenuHook";

// Unique per probe within this machine's run: the driver's process id and a count.
unsigned long NextRequestNumber() {
  static unsigned long count = 0;
  return (GetCurrentProcessId() << 8) + (++count & 0xFF);
}

std::string NameFor(const char* format, unsigned long request) {
  char name[64];
  wsprintfA(name, format, request);
  return name;
}

void CopyReport(const ProbeReport& report, WindowProbe* probe) {
  probe->hasSystemMenu = report.hasSystemMenu != FALSE;
  probe->systemMenu.clear();
  for (int i = 0; i < report.menuItemCount && i < kProbeMaxMenuItems; ++i) {
    const ProbeMenuItem& item = report.menuItems[i];
    probe->systemMenu.push_back({item.type, item.state, item.id, item.text});
  }
  probe->hasBigIcon = report.hasBigIcon != FALSE;
  probe->hasSmallIcon = report.hasSmallIcon != FALSE;
  probe->shownIcon = static_cast<ShownIcon>(report.shownIcon);
  probe->textFits.clear();
  for (int i = 0; i < report.textFitCount && i < kProbeMaxControls; ++i) {
    const ProbeTextFit& fit = report.textFits[i];
    probe->textFits.push_back({fit.id, fit.needed, fit.room});
  }
}

// Posts the request and waits for the probe's answer within the program.
bool AskProbe(HWND window, unsigned long request, HANDLE done, DWORD timeoutMs) {
  UINT message = RegisterWindowMessageA(QB7_PROBE_MESSAGE);
  return PostMessageA(window, message, request, 0) &&
         WaitForSingleObject(done, timeoutMs) == WAIT_OBJECT_0;
}

bool ReadAnswer(HANDLE mapping, WindowProbe* probe) {
  const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(ProbeReport));
  if (!view) return false;
  CopyReport(*static_cast<const ProbeReport*>(view), probe);
  UnmapViewOfFile(view);
  return true;
}

// The platform loads the DLL into the thread's process when the hook is first called there.
HHOOK HookIntoThread(HMODULE dll, int hookType, const char* procName, DWORD threadId) {
  // Through void*: an exported function's real type is known only to its caller.
  auto hookProc =
      reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(dll, procName)));
  return hookProc ? SetWindowsHookExA(hookType, hookProc, dll, threadId) : nullptr;
}

HHOOK HookIntoThreadOf(HWND window, HMODULE dll) {
  DWORD threadId = GetWindowThreadProcessId(window, nullptr);
  return HookIntoThread(dll, WH_GETMESSAGE, kHookProcName, threadId);
}

}  // namespace

bool ProbeWindow(const std::string& probeDllPath, HWND window, WindowProbe* probe,
                 DWORD timeoutMs) {
  HMODULE dll = LoadLibraryA(probeDllPath.c_str());
  HHOOK hook = dll ? HookIntoThreadOf(window, dll) : nullptr;
  unsigned long request = NextRequestNumber();
  HANDLE mapping =
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ProbeReport),
                         NameFor(QB7_PROBE_REPORT_FORMAT, request).c_str());
  HANDLE done = CreateEventA(nullptr, TRUE, FALSE, NameFor(QB7_PROBE_DONE_FORMAT, request).c_str());
  bool answered = hook && mapping && done && AskProbe(window, request, done, timeoutMs) &&
                  ReadAnswer(mapping, probe);
  if (done) CloseHandle(done);
  if (mapping) CloseHandle(mapping);
  if (hook) UnhookWindowsHookEx(hook);
  if (dll) FreeLibrary(dll);
  return answered;
}

SystemMenuGrant::SystemMenuGrant(const std::string& probeDllPath, DWORD threadId)
    : dll_(LoadLibraryA(probeDllPath.c_str())) {
  if (dll_) hook_ = HookIntoThread(dll_, WH_CALLWNDPROC, kGrantHookProcName, threadId);
}

SystemMenuGrant::~SystemMenuGrant() {
  if (hook_) UnhookWindowsHookEx(hook_);
  if (dll_) FreeLibrary(dll_);
}

}  // namespace gui_driver
