// A program started from outside, as a user would start it: from a chosen current directory,
// with a few environment variables of the test's own added to the driver's environment.
//
//   Program program;
//   program.Start(exePath, mediumRoot, {{"QB7_STANDIN_LOG", logPath}});
//   ... drive its windows ...
//   DWORD code;
//   program.WaitForExit(kExitTimeoutMs, &code);
// A program still running when the object goes is ended, so a failed test leaves nothing behind.
#ifndef QB7_GUI_DRIVER_PROGRAM_H
#define QB7_GUI_DRIVER_PROGRAM_H

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace gui_driver {

using Environment = std::vector<std::pair<std::string, std::string>>;

class Program {
 public:
  Program() = default;
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  ~Program();

  // False when the process could not be created; LastError() then says why.
  bool Start(const std::string& exePath, const std::string& currentDirectory,
             const Environment& extraEnvironment = {});
  // As Start, but the program's first thread waits for Resume, so that hooks can be set on it
  // before it makes any window.
  bool StartSuspended(const std::string& exePath, const std::string& currentDirectory,
                      const Environment& extraEnvironment = {});
  bool Resume();
  bool IsRunning() const;
  // True when the process ended within the timeout; its exit code goes to `exitCode`.
  bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr) const;
  void Terminate();

  DWORD Id() const { return processId_; }
  DWORD ThreadId() const { return threadId_; }
  DWORD LastError() const { return lastError_; }

 private:
  bool Create(const std::string& exePath, const std::string& currentDirectory,
              const Environment& extraEnvironment, DWORD creationFlags);

  HANDLE process_ = nullptr;
  HANDLE suspendedThread_ = nullptr;
  DWORD processId_ = 0;
  DWORD threadId_ = 0;
  DWORD lastError_ = 0;
};

}  // namespace gui_driver

#endif
