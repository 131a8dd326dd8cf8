// The command runner and the process lookup against real processes under Wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "install/command_runner.h"

namespace {

const char kSleeper[] = "qb7_sleeper.exe";
const ULONGLONG kSleepMs = 1500;
// Two processes' clocks may disagree by a tick; a wait that did not happen misses by far more.
const ULONGLONG kClockSlackMs = 200;
// Far above any start-up or poll delay: only a hang or a lost end goes past it.
const ULONGLONG kHangMs = 5000;
const ULONGLONG kPromptMs = 3000;

// RunCommand wants a writable line in a buffer of at least the command-line size.
std::vector<char> Writable(const std::string& line) {
  std::vector<char> buffer(line.begin(), line.end());
  buffer.resize(line.size() < kCommandLineSize ? kCommandLineSize : line.size() + 1, '\0');
  return buffer;
}

std::string SleeperLine(ULONGLONG milliseconds) {
  return SiblingPath(kSleeper) + " " + std::to_string(milliseconds);
}

struct TimedRun {
  RunResult result;
  ULONGLONG elapsedMs;
};

TimedRun TimeRun(LaunchMode mode, const std::string& line) {
  std::vector<char> buffer = Writable(line);
  ULONGLONG start = GetTickCount64();
  RunResult result = RunCommand(mode, buffer.data());
  TimedRun run = {result, GetTickCount64() - start};
  return run;
}

// A line of `length` characters naming a program that does not exist.
std::string MissingProgramLine(size_t length) {
  return "C:\\qb7\\" + std::string(length - 11, 'x') + ".exe";
}

const char* ModeName(LaunchMode mode) { return mode == DIRECT ? "DIRECT" : "ELEVATED"; }

const LaunchMode kModes[] = {DIRECT, ELEVATED};

TEST(FindProcessByImageName, FindsARunningProcessWhateverTheLetterCase) {
  PROCESS_INFORMATION sleeper;
  ASSERT_TRUE(StartChild(SleeperLine(60000), &sleeper));
  EXPECT_EQ(sleeper.dwProcessId, FindProcessByImageName("QB7_SLEEPER.EXE"));
  EXPECT_EQ(sleeper.dwProcessId, FindProcessByImageName("Qb7_Sleeper.exe"));
  // Only the whole file name matches: no prefix, no longer name, no path.
  EXPECT_EQ(0u, FindProcessByImageName("qb7_sleeper"));
  EXPECT_EQ(0u, FindProcessByImageName("qb7_sleeper.exe.exe"));
  EXPECT_EQ(0u, FindProcessByImageName(SiblingPath(kSleeper).c_str()));
  StopChild(&sleeper);
  EXPECT_EQ(0u, FindProcessByImageName("QB7_SLEEPER.EXE")) << "an ended process is still found";
}

TEST(FindProcessByImageName, UnknownNameGivesZero) {
  EXPECT_EQ(0u, FindProcessByImageName("qb7_no_such_program.exe"));
  EXPECT_EQ(0u, FindProcessByImageName(""));
}

TEST(RunCommandDirect, ReturnsOnlyAfterTheProgramHasEnded) {
  TimedRun run = TimeRun(DIRECT, SleeperLine(kSleepMs));
  EXPECT_EQ(RUN_FINISHED, run.result);
  EXPECT_GE(run.elapsedMs, kSleepMs - kClockSlackMs);
  EXPECT_LT(run.elapsedMs, kSleepMs + kHangMs);
  EXPECT_EQ(0u, FindProcessByImageName(kSleeper));
}

// The shell gives no handle: the runner must watch the process list until the name is gone.
TEST(RunCommandElevated, ReturnsOnlyAfterTheProgramHasLeftTheProcessList) {
  TimedRun run = TimeRun(ELEVATED, SleeperLine(kSleepMs));
  EXPECT_EQ(RUN_FINISHED, run.result);
  EXPECT_GE(run.elapsedMs, kSleepMs);
  EXPECT_LT(run.elapsedMs, kSleepMs + kHangMs);
  EXPECT_EQ(0u, FindProcessByImageName(kSleeper));
}

TEST(RunCommand, MissingProgramIsNotStarted) {
  for (LaunchMode mode : kModes) {
    SCOPED_TRACE(ModeName(mode));
    TimedRun run = TimeRun(mode, SiblingPath("qb7_no_such_program.exe") + " /lm /sw /sa");
    EXPECT_EQ(RUN_NOT_STARTED, run.result);
    EXPECT_LT(run.elapsedMs, kPromptMs);
  }
}

TEST(RunCommand, EmptyLineIsNotStarted) {
  for (LaunchMode mode : kModes) {
    SCOPED_TRACE(ModeName(mode));
    TimedRun run = TimeRun(mode, "");
    EXPECT_EQ(RUN_NOT_STARTED, run.result);
    EXPECT_LT(run.elapsedMs, kPromptMs);
  }
}

// 255 characters are the most a line may have; one more is refused before anything starts.
TEST(RunCommand, LineLengthBoundary) {
  for (LaunchMode mode : kModes) {
    SCOPED_TRACE(ModeName(mode));
    EXPECT_EQ(RUN_NOT_STARTED, TimeRun(mode, MissingProgramLine(kCommandLineSize - 1)).result);
    EXPECT_EQ(RUN_TOO_LONG, TimeRun(mode, MissingProgramLine(kCommandLineSize)).result);
  }
}

// The first 255 characters of this line would start a sleeper; a line cut short instead of
// refused would make the runner wait for it.
TEST(RunCommand, OverlongLineIsRefusedNotCut) {
  std::string line = SleeperLine(3 * kSleepMs) + " /";
  line += std::string(300 - line.size(), 'x');
  for (LaunchMode mode : kModes) {
    SCOPED_TRACE(ModeName(mode));
    TimedRun run = TimeRun(mode, line);
    EXPECT_EQ(RUN_TOO_LONG, run.result);
    EXPECT_LT(run.elapsedMs, kSleepMs);
    EXPECT_EQ(0u, FindProcessByImageName(kSleeper));
  }
}

}  // namespace
