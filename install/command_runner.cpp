#include "command_runner.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>

namespace {

RunResult RunDirect(char* commandLine) {
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof process);
  if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return RUN_NOT_STARTED;
  }
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

// The driver package installer sets the top bit of its exit code when a package failed; a crash
// ends a process with an exception code, which has the top bit set as well.
bool ExitCodeSaysFailed(DWORD exitCode) { return (exitCode & 0x80000000u) != 0; }

// Waits for the started process itself, so that its exit code can be read.
RunResult WaitForStartedProcess(HANDLE process) {
  WaitForSingleObject(process, INFINITE);
  DWORD exitCode = 0;
  bool failed = GetExitCodeProcess(process, &exitCode) && ExitCodeSaysFailed(exitCode);
  CloseHandle(process);
  return failed ? RUN_FAILED : RUN_FINISHED;
}

RunResult RunElevated(const char* commandLine) {
  char program[kProgramPathSize];
  const char* parameters;
  char imageName[kImageNameSize];
  if (!SplitCommandLine(commandLine, program, sizeof program, &parameters) ||
      !ImageNameOf(program, imageName, sizeof imageName)) {
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
  // A refused elevation fails here too (ERROR_CANCELLED).
  if (!ShellExecuteExA(&execute)) return RUN_NOT_STARTED;
  RunResult result = execute.hProcess ? WaitForStartedProcess(execute.hProcess) : RUN_FINISHED;
  WaitWhileRunning(imageName);
  return result;
}

}  // namespace

RunResult RunCommand(LaunchMode mode, char* commandLine) {
  size_t length = strnlen(commandLine, kCommandLineSize);
  if (length == 0) return RUN_NOT_STARTED;
  if (length >= kCommandLineSize) return RUN_TOO_LONG;
  return mode == ELEVATED ? RunElevated(commandLine) : RunDirect(commandLine);
}

uint32_t FindProcessByImageName(const char* imageName) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) {
    puts("Fail To Create Snap Shot");
    return 0;
  }
  uint32_t found = 0;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more && !found;
       more = Process32Next(snapshot, &entry)) {
    if (EqualsIgnoringAsciiCase(entry.szExeFile, imageName)) found = entry.th32ProcessID;
  }
  CloseHandle(snapshot);
  return found;
}
