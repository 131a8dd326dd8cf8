// The pieces the command runner is made of where a test must put something of its own in place
// of the system: what the shell is asked and answers, a process handle the shell did not give,
// and a process list that cannot be read.
#ifndef QB7_INSTALL_RUNNER_SEAMS_H
#define QB7_INSTALL_RUNNER_SEAMS_H

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdint>

#include "command_runner.h"

typedef BOOL(WINAPI* ShellStartFn)(SHELLEXECUTEINFOA*);

// The elevated start of `commandLine` through `start`, then the wait for its end.
RunResult RunElevatedWith(ShellStartFn start, const char* commandLine, uint32_t* exitCode);

// Waits for an installer started through the shell: on `process` when the shell gave a handle
// (which is closed here, its exit code read into `exitCode`), then until no process of
// `imageName` is left.
RunResult WaitForElevatedInstaller(HANDLE process, const char* imageName, uint32_t* exitCode);

// The process-list functions, looked up at run time because Windows NT 4.0 has none of them.
struct ProcessListApi {
  HANDLE(WINAPI* createSnapshot)(DWORD, DWORD);
  BOOL(WINAPI* first)(HANDLE, PROCESSENTRY32*);
  BOOL(WINAPI* next)(HANDLE, PROCESSENTRY32*);
};

ProcessListApi LookUpProcessListApi();

// FindProcessByImageName over `api`; a missing function counts as a snapshot that failed.
uint32_t FindProcessWith(const ProcessListApi& api, const char* imageName);

#endif
