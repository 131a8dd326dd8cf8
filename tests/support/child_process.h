// Child processes for the Wine tests: run one to its end and keep its output, or start one and
// leave it running.
#ifndef QB7_TESTS_SUPPORT_CHILD_PROCESS_H
#define QB7_TESTS_SUPPORT_CHILD_PROCESS_H

#include <windows.h>

#include <string>

struct ChildRun {
  bool started;
  bool ended;  // false when it was still running at the deadline and was killed
  DWORD exitCode;
  std::string output;  // standard output and standard error together
};

// Runs `commandLine` with `currentDirectory` as its current directory and waits at most
// `timeoutMs` for it to end.
ChildRun RunChild(const std::string& commandLine, const std::string& currentDirectory,
                  DWORD timeoutMs);

// Starts `commandLine` and leaves it running; the caller ends it with StopChild.
bool StartChild(const std::string& commandLine, PROCESS_INFORMATION* process);
void StopChild(PROCESS_INFORMATION* process);

// The full path of `fileName` in the folder of the running exe, where the test exes and their
// children are built.
std::string SiblingPath(const char* fileName);

// The value of the first field "`key`=value" in `output`; fields start a line or follow a tab
// and end at a tab or the line end. Empty when there is none.
std::string FieldValue(const std::string& output, const std::string& key);

#endif
