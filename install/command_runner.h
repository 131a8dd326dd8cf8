// Starting one installer program and waiting until it has finished.
#ifndef QB7_INSTALL_COMMAND_RUNNER_H
#define QB7_INSTALL_COMMAND_RUNNER_H

#include <cstdint>

#include "command_line.h"

enum RunResult {
  RUN_FINISHED,     // the program was started and has ended
  RUN_FAILED,       // it was started, has ended and said that it failed, or it crashed
  RUN_NOT_STARTED,  // it could not be started, elevation was refused, or the line was empty
  RUN_TOO_LONG,     // the line or its program part does not fit; nothing was started
};

const uint32_t kElevatedPollMilliseconds = 500;

// Runs `commandLine` (at most 255 characters, in a writable buffer) and returns when the
// started program has ended. A DIRECT start waits on the process handle; a program the line
// names without a folder is started from the native system folder, never from the medium. An
// ELEVATED start waits on the handle the shell gives back, when it gives one, and then watches
// the process list until no process of the program's image name is left. Only the driver
// package installer's exit code is read, into `exitCode` when a handle gave it: rundll32 says
// nothing about the INF it was given.
RunResult RunCommand(LaunchMode mode, char* commandLine, uint32_t* exitCode = nullptr);

// The id of the first running process whose executable file name equals `imageName`, ignoring
// the case of ASCII letters; 0 when there is none.
uint32_t FindProcessByImageName(const char* imageName);

#endif
