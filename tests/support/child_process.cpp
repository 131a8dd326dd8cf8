#include "child_process.h"

#include <vector>

namespace {

const DWORD kPollMilliseconds = 20;
const DWORD kKilledExitCode = 0xDEAD;

// Reads what the pipe holds without blocking: a grandchild that inherited the write end may
// keep the pipe open long after the child has ended.
void DrainPipe(HANDLE readEnd, std::string* output) {
  DWORD available = 0;
  while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
    char chunk[4096];
    DWORD read = 0;
    DWORD wanted = available < sizeof chunk ? available : sizeof chunk;
    if (!ReadFile(readEnd, chunk, wanted, &read, nullptr) || read == 0) return;
    output->append(chunk, read);
  }
}

void WaitCollecting(HANDLE process, HANDLE readEnd, DWORD timeoutMs, ChildRun* run) {
  ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    DrainPipe(readEnd, &run->output);
    if (WaitForSingleObject(process, kPollMilliseconds) == WAIT_OBJECT_0) {
      DrainPipe(readEnd, &run->output);
      run->ended = true;
      GetExitCodeProcess(process, &run->exitCode);
      return;
    }
    if (GetTickCount64() > deadline) {
      TerminateProcess(process, kKilledExitCode);
      WaitForSingleObject(process, INFINITE);
      return;
    }
  }
}

}  // namespace

ChildRun RunChild(const std::string& commandLine, const std::string& currentDirectory,
                  DWORD timeoutMs) {
  ChildRun run = {false, false, 0, ""};
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd;
  HANDLE writeEnd;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return run;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  HANDLE nothing = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               &inheritable, OPEN_EXISTING, 0, nullptr);

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nothing;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  PROCESS_INFORMATION process = {};
  run.started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                               currentDirectory.empty() ? nullptr : currentDirectory.c_str(),
                               &startup, &process);
  CloseHandle(writeEnd);
  if (nothing != INVALID_HANDLE_VALUE) CloseHandle(nothing);
  if (run.started) {
    WaitCollecting(process.hProcess, readEnd, timeoutMs, &run);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(readEnd);
  return run;
}

bool StartChild(const std::string& commandLine, PROCESS_INFORMATION* process) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  *process = PROCESS_INFORMATION();
  return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, process) != FALSE;
}

void StopChild(PROCESS_INFORMATION* process) {
  if (!process->hProcess) return;
  TerminateProcess(process->hProcess, kKilledExitCode);
  WaitForSingleObject(process->hProcess, INFINITE);
  CloseHandle(process->hThread);
  CloseHandle(process->hProcess);
  *process = PROCESS_INFORMATION();
}

std::string SiblingPath(const char* fileName) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\') + 1) + fileName;
}

std::string FieldValue(const std::string& output, const std::string& key) {
  const std::string marker = key + "=";
  for (size_t start = 0; start < output.size();) {
    size_t end = output.find_first_of("\t\r\n", start);
    if (end == std::string::npos) end = output.size();
    bool fieldStart = start == 0 || output[start - 1] == '\t' || output[start - 1] == '\n';
    if (fieldStart && output.compare(start, marker.size(), marker) == 0) {
      return output.substr(start + marker.size(), end - start - marker.size());
    }
    start = end + 1;
  }
  return "";
}
