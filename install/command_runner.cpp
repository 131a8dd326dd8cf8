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

// The shell gives no handle for an elevated start, so the end is seen in the process list.
// Every pass sleeps after its look-up; the first look-up that finds nothing ends the watch.
void WaitWhileRunning(const char* imageName) {
  bool running;
  do {
    running = FindProcessByImageName(imageName) != 0;
    Sleep(kElevatedPollMilliseconds);
  } while (running);
}

RunResult RunElevated(const char* commandLine) {
  char program[kProgramPathSize];
  const char* parameters;
  char imageName[kImageNameSize];
  if (!SplitCommandLine(commandLine, program, sizeof program, &parameters) ||
      !ImageNameOf(program, imageName, sizeof imageName)) {
    return RUN_TOO_LONG;
  }
  // Values of 32 and below are failures, a refused elevation (SE_ERR_ACCESSDENIED) among them.
  HINSTANCE started = ShellExecuteA(nullptr, "runas", program, parameters, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(started) <= 32) return RUN_NOT_STARTED;
  WaitWhileRunning(imageName);
  return RUN_FINISHED;
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
