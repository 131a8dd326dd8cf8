#include "command_runner.h"

#include <objbase.h>

#include <cstdio>
#include <cstring>

#include "ansi_code_page.h"
#include "installer_exit.h"
#include "runner_seams.h"
#include "system_library.h"

namespace {

typedef BOOL(WINAPI* DisableRedirectionFn)(PVOID*);
typedef BOOL(WINAPI* RevertRedirectionFn)(PVOID);

// A 32-bit process on 64-bit Windows is sent to the 32-bit system folder, whose rundll32 and
// setup library would install into the 32-bit views of the registry and of system32. While an
// object of this class lives, the calling thread sees the native system folder instead. Where
// the system has no such redirection the functions are missing or fail, and nothing changes.
class NativeSystemFolder {
 public:
  NativeSystemFolder() {
    auto disable = LateFunctionOf<DisableRedirectionFn>(WOW64_DISABLE_REDIRECTION);
    disabled_ = disable && disable(&previous_);
  }
  ~NativeSystemFolder() {
    auto revert = LateFunctionOf<RevertRedirectionFn>(WOW64_REVERT_REDIRECTION);
    if (disabled_ && revert) revert(previous_);
  }
  NativeSystemFolder(const NativeSystemFolder&) = delete;
  NativeSystemFolder& operator=(const NativeSystemFolder&) = delete;

 private:
  PVOID previous_ = nullptr;
  bool disabled_ = false;
};

typedef HRESULT(WINAPI* CoInitializeExFn)(LPVOID, DWORD);
typedef void(WINAPI* CoUninitializeFn)();

// The shell may hand a start to extensions it reaches through COM, and documents that COM be
// initialised on the thread before ShellExecuteEx. While an object of this class lives, it is,
// where ole32.dll has the call; elsewhere the start goes on without.
class ComApartment {
 public:
  ComApartment() : ole_(LoadSystemLibrary("ole32.dll")) {
    auto initialize = LateFunctionOf<CoInitializeExFn>(CO_INITIALIZE_EX);
    initialised_ = initialize && SUCCEEDED(initialize(
                                     nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
  }
  ~ComApartment() {
    auto uninitialize = LateFunctionOf<CoUninitializeFn>(CO_UNINITIALIZE);
    if (initialised_ && uninitialize) uninitialize();
    if (ole_) FreeLibrary(ole_);
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  HMODULE ole_;
  bool initialised_ = false;
};

RunResult RunDirect(char* commandLine) {
  char name[kProgramPathSize];
  char program[kProgramPathSize];
  const char* application = nullptr;
  // A program named bare would be looked for on the medium before the system folder.
  if (BareProgramName(commandLine, name, sizeof name)) {
    if (!SystemFolderPath(name, program, sizeof program)) return RUN_TOO_LONG;
    application = program;
  }
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof process);
  BOOL started;
  {
    NativeSystemFolder native;
    started = CreateProcessA(application, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process);
  }
  if (!started) return RUN_NOT_STARTED;
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return RUN_FINISHED;
}

// The shell need not give a handle for an elevated start, and the installer's name may still be
// running in another process, so the end is seen in the process list. Every pass sleeps after
// its look-up; the first look-up that finds nothing ends the watch.
void WaitWhileRunning(const char* imageName) {
  bool running;
  do {
    running = FindProcessByImageName(imageName) != 0;
    Sleep(kElevatedPollMilliseconds);
  } while (running);
}

// Waits for the started process itself, so that its exit code can be read. A crash ends a
// process with an exception code, whose top bit says "failed" as the installer's own does.
RunResult WaitForStartedProcess(HANDLE process, uint32_t* exitCode) {
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  bool known = GetExitCodeProcess(process, &code) != FALSE;
  CloseHandle(process);
  if (!known) return RUN_FINISHED;
  if (exitCode) *exitCode = code;
  return DecodeInstallerExit(code).failed ? RUN_FAILED : RUN_FINISHED;
}

void PrintSnapshotFailure() { puts("Fail To Create Snap Shot"); }

}  // namespace

RunResult WaitForElevatedInstaller(HANDLE process, const char* imageName, uint32_t* exitCode) {
  RunResult result = process ? WaitForStartedProcess(process, exitCode) : RUN_FINISHED;
  WaitWhileRunning(imageName);
  return result;
}

RunResult RunElevatedWith(ShellStartFn start, const char* commandLine, uint32_t* exitCode) {
  const LeadBytes& leadBytes = AnsiLeadBytes();
  char program[kProgramPathSize];
  const char* parameters;
  char imageName[kImageNameSize];
  if (!SplitCommandLine(commandLine, leadBytes, program, sizeof program, &parameters) ||
      !ImageNameOf(program, leadBytes, imageName, sizeof imageName)) {
    return RUN_TOO_LONG;
  }
  SHELLEXECUTEINFOA execute;
  ZeroMemory(&execute, sizeof execute);
  execute.cbSize = sizeof execute;
  execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  execute.lpVerb = "runas";
  execute.lpFile = program;
  execute.lpParameters = parameters;
  execute.nShow = SW_SHOWNORMAL;
  // Until the installer has ended: the shell may finish the start on its own.
  ComApartment com;
  // A refused elevation fails here too (ERROR_CANCELLED).
  if (!start(&execute)) return RUN_NOT_STARTED;
  return WaitForElevatedInstaller(execute.hProcess, imageName, exitCode);
}

RunResult RunCommand(LaunchMode mode, char* commandLine, uint32_t* exitCode) {
  size_t length = strnlen(commandLine, kCommandLineSize);
  if (length == 0) return RUN_NOT_STARTED;
  if (length >= kCommandLineSize) return RUN_TOO_LONG;
  if (mode == DIRECT) return RunDirect(commandLine);
  return RunElevatedWith(ShellExecuteExA, commandLine, exitCode);
}

ProcessListApi LookUpProcessListApi() {
  typedef decltype(ProcessListApi::createSnapshot) CreateSnapshotFn;
  typedef decltype(ProcessListApi::first) WalkFn;
  ProcessListApi api = {LateFunctionOf<CreateSnapshotFn>(CREATE_TOOLHELP_SNAPSHOT),
                        LateFunctionOf<WalkFn>(PROCESS_FIRST),
                        LateFunctionOf<WalkFn>(PROCESS_NEXT)};
  return api;
}

uint32_t FindProcessWith(const ProcessListApi& api, const char* imageName) {
  if (!api.createSnapshot || !api.first || !api.next) {
    PrintSnapshotFailure();
    return 0;
  }
  HANDLE snapshot = api.createSnapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) {
    PrintSnapshotFailure();
    return 0;
  }
  const LeadBytes& leadBytes = AnsiLeadBytes();
  uint32_t found = 0;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = api.first(snapshot, &entry); more && !found; more = api.next(snapshot, &entry)) {
    if (EqualsIgnoringAsciiCase(entry.szExeFile, imageName, leadBytes)) {
      found = entry.th32ProcessID;
    }
  }
  CloseHandle(snapshot);
  return found;
}

uint32_t FindProcessByImageName(const char* imageName) {
  return FindProcessWith(LookUpProcessListApi(), imageName);
}
