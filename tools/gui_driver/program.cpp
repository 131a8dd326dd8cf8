#include "program.h"

#include <algorithm>
#include <cstring>

namespace gui_driver {

namespace {

// Ending a process takes a moment under Wine; this only bounds the wait for it.
const DWORD kTerminateWaitMs = 5000;

// A variable of the driver's own environment is dropped when the caller gives it a value.
bool IsOverridden(const char* entry, const Environment& extra) {
  for (const auto& variable : extra) {
    const std::string& name = variable.first;
    if (_strnicmp(entry, name.c_str(), name.size()) == 0 && entry[name.size()] == '=') return true;
  }
  return false;
}

// The name part of "NAME=value"; the platform's own "=C:=..." entries start with "=".
std::string NameOf(const std::string& entry) { return entry.substr(0, entry.find('=', 1)); }

// The platform wants the variables sorted by name, without regard to case.
bool ComesBefore(const std::string& first, const std::string& second) {
  return _stricmp(NameOf(first).c_str(), NameOf(second).c_str()) < 0;
}

// The block CreateProcess wants: NAME=value strings, each NUL-ended, then one more NUL.
std::vector<char> BuildEnvironmentBlock(const Environment& extra) {
  std::vector<std::string> entries;
  char* inherited = GetEnvironmentStringsA();
  for (const char* entry = inherited; entry && *entry; entry += strlen(entry) + 1) {
    if (!IsOverridden(entry, extra)) entries.push_back(entry);
  }
  if (inherited) FreeEnvironmentStringsA(inherited);
  for (const auto& variable : extra) entries.push_back(variable.first + "=" + variable.second);
  std::sort(entries.begin(), entries.end(), ComesBefore);
  std::vector<char> block;
  for (const std::string& entry : entries) {
    block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
  }
  block.push_back('\0');
  return block;
}

}  // namespace

Program::~Program() {
  Terminate();
  if (suspendedThread_) CloseHandle(suspendedThread_);
  if (process_) CloseHandle(process_);
}

bool Program::Start(const std::string& exePath, const std::string& currentDirectory,
                    const Environment& extraEnvironment) {
  return Create(exePath, currentDirectory, extraEnvironment, 0);
}

bool Program::StartSuspended(const std::string& exePath, const std::string& currentDirectory,
                             const Environment& extraEnvironment) {
  return Create(exePath, currentDirectory, extraEnvironment, CREATE_SUSPENDED);
}

bool Program::Resume() {
  if (!suspendedThread_) return false;
  bool resumed = ResumeThread(suspendedThread_) != static_cast<DWORD>(-1);
  CloseHandle(suspendedThread_);
  suspendedThread_ = nullptr;
  return resumed;
}

bool Program::Create(const std::string& exePath, const std::string& currentDirectory,
                     const Environment& extraEnvironment, DWORD creationFlags) {
  std::string commandLine = "\"" + exePath + "\"";
  std::vector<char> writableCommandLine(commandLine.begin(), commandLine.end());
  writableCommandLine.push_back('\0');
  std::vector<char> environment = BuildEnvironmentBlock(extraEnvironment);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(exePath.c_str(), writableCommandLine.data(), nullptr, nullptr, FALSE,
                      creationFlags, environment.data(), currentDirectory.c_str(), &startup,
                      &info)) {
    lastError_ = GetLastError();
    return false;
  }
  if (creationFlags & CREATE_SUSPENDED) {
    suspendedThread_ = info.hThread;
  } else {
    CloseHandle(info.hThread);
  }
  process_ = info.hProcess;
  processId_ = info.dwProcessId;
  threadId_ = info.dwThreadId;
  return true;
}

bool Program::IsRunning() const {
  return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool Program::WaitForExit(DWORD timeoutMs, DWORD* exitCode) const {
  if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
  if (exitCode) GetExitCodeProcess(process_, exitCode);
  return true;
}

// The exit code marks a run the driver cut short, should anyone read it.
void Program::Terminate() {
  if (!IsRunning()) return;
  TerminateProcess(process_, 0xDEAD);
  WaitForSingleObject(process_, kTerminateWaitMs);
}

}  // namespace gui_driver
