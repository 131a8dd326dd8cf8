// The command runner and the process lookup against real processes under Wine.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>
#include <objbase.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "child_process.h"
#include "install/command_runner.h"
#include "install/runner_seams.h"
#include "install/system_library.h"
#include "scratch_folder.h"

namespace {

const char kSleeper[] = "qb7_sleeper.exe";
const ULONGLONG kSleepMs = 1500;
// Two processes' clocks may disagree by a tick; a wait that did not happen misses by far more.
const ULONGLONG kClockSlackMs = 200;
// Far above any start-up or poll delay: only a hang or a lost end goes past it.
const ULONGLONG kHangMs = 5000;
const ULONGLONG kPromptMs = 3000;
// Tick counts read in two processes may be one tick apart.
const ULONGLONG kTickMs = 20;
const char kEndFileVariable[] = "QB7_SLEEPER_END_FILE";
const char kVistaLine[] = "C:\\Program Files\\Drv\\Driver\\Vista_64\\DPInst64.exe /lm /sw /sa";

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
  ULONGLONG returnedAt;  // tick count
  long handlesLeft;      // handles of this process the run left open
};

// Wine's GetProcessHandleCount always says 0, so the handles are counted one by one: handle
// values are multiples of 4, and a test process has far fewer than these.
long HandleCount() {
  const ULONG_PTR kHighestHandle = 0x4000;
  long count = 0;
  for (ULONG_PTR value = 4; value < kHighestHandle; value += 4) {
    DWORD flags;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  }
  return count;
}

TimedRun TimeRun(LaunchMode mode, const std::string& line) {
  std::vector<char> buffer = Writable(line);
  long handlesBefore = HandleCount();
  ULONGLONG start = GetTickCount64();
  RunResult result = RunCommand(mode, buffer.data());
  ULONGLONG end = GetTickCount64();
  TimedRun run = {result, end - start, end, HandleCount() - handlesBefore};
  return run;
}

// The sleepers started while an object lives write the tick count of their end to a file.
class SleeperEnd {
 public:
  SleeperEnd() : folder_(MakeScratchFolder()), path_(folder_ + "\\end.txt") {
    SetEnvironmentVariableA(kEndFileVariable, path_.c_str());
  }
  ~SleeperEnd() {
    SetEnvironmentVariableA(kEndFileVariable, nullptr);
    RemoveTree(folder_);
  }
  SleeperEnd(const SleeperEnd&) = delete;
  SleeperEnd& operator=(const SleeperEnd&) = delete;

  // 0 when no sleeper has recorded its end.
  ULONGLONG Tick() const { return strtoull(ReadTextFile(path_).c_str(), nullptr, 10); }

 private:
  std::string folder_;
  std::string path_;
};

// What the program writes to its standard output while `action` runs.
template <typename Action>
std::string StandardOutputOf(Action action) {
  std::string folder = MakeScratchFolder();
  std::string path = folder + "\\stdout.txt";
  fflush(stdout);
  int saved = _dup(_fileno(stdout));
  int file = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC, _S_IREAD | _S_IWRITE);
  _dup2(file, _fileno(stdout));
  action();
  fflush(stdout);
  _dup2(saved, _fileno(stdout));
  _close(saved);
  _close(file);
  std::string output = ReadTextFile(path);
  RemoveTree(folder);
  return output;
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

// A process lives until its last thread ends: the wait is on the process, not on its first thread.
TEST(RunCommandDirect, ReturnsOnlyAfterTheProgramHasEnded) {
  for (const char* form : {"", " thread"}) {
    SCOPED_TRACE(form);
    TimedRun run = TimeRun(DIRECT, SleeperLine(kSleepMs) + form);
    EXPECT_EQ(RUN_FINISHED, run.result);
    EXPECT_GE(run.elapsedMs, kSleepMs - kClockSlackMs);
    EXPECT_LT(run.elapsedMs, kSleepMs + kHangMs);
    EXPECT_EQ(0u, FindProcessByImageName(kSleeper));
  }
}

// The shell may give no handle: the runner watches the process list until the name is gone, and
// looks no more often than every 500 ms, so it returns at least that long after the end.
TEST(RunCommandElevated, ReturnsOnlyAfterTheProgramHasLeftTheProcessList) {
  SleeperEnd end;
  TimedRun run = TimeRun(ELEVATED, SleeperLine(kSleepMs));
  EXPECT_EQ(RUN_FINISHED, run.result);
  EXPECT_GE(run.elapsedMs, kSleepMs);
  ASSERT_NE(0u, end.Tick()) << "the sleeper did not record its end";
  EXPECT_GE(run.returnedAt, end.Tick() + kElevatedPollMilliseconds - kTickMs);
  EXPECT_LT(run.returnedAt, end.Tick() + kElevatedPollMilliseconds + kHangMs);
  EXPECT_EQ(0u, FindProcessByImageName(kSleeper));
}

TEST(WaitForElevatedInstaller, WithoutAHandleWatchesTheNameAlone) {
  SleeperEnd end;
  PROCESS_INFORMATION sleeper;
  ASSERT_TRUE(StartChild(SleeperLine(kSleepMs), &sleeper));
  EXPECT_EQ(RUN_FINISHED, WaitForElevatedInstaller(nullptr, kSleeper, nullptr));
  ULONGLONG returnedAt = GetTickCount64();
  EXPECT_EQ(0u, FindProcessByImageName(kSleeper));
  ASSERT_NE(0u, end.Tick()) << "the runner returned before the sleeper ended";
  EXPECT_GE(returnedAt, end.Tick() + kElevatedPollMilliseconds - kTickMs);
  StopChild(&sleeper);
}

// Every handle the runner opens, of the process, its thread or the snapshots, is closed again.
// A first run of each mode may load what the system keeps for later; the second one counts.
TEST(RunCommand, ClosesEveryHandleItOpens) {
  for (LaunchMode mode : kModes) {
    SCOPED_TRACE(ModeName(mode));
    TimeRun(mode, SleeperLine(0));
    TimedRun run = TimeRun(mode, SleeperLine(0));
    EXPECT_EQ(RUN_FINISHED, run.result);
    EXPECT_EQ(0, run.handlesLeft);
  }
}

SHELLEXECUTEINFOA gShellRequest;
HRESULT gComWhenAsked = E_FAIL;

// What initialising COM apartment-threaded on this thread answers now: S_FALSE when it is so
// already, S_OK when it was not (and then it is undone).
HRESULT ComStateOfThisThread() {
  HRESULT state = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (SUCCEEDED(state)) CoUninitialize();
  return state;
}

// The shell's answer when the user refuses to elevate.
BOOL WINAPI RefuseElevation(SHELLEXECUTEINFOA* request) {
  gShellRequest = *request;
  gComWhenAsked = ComStateOfThisThread();
  SetLastError(ERROR_CANCELLED);
  return FALSE;
}

TEST(RunElevatedWith, AsksTheShellToElevateAndTakesARefusalAsNotStarted) {
  ULONGLONG start = GetTickCount64();
  EXPECT_EQ(RUN_NOT_STARTED, RunElevatedWith(RefuseElevation, kVistaLine, nullptr));
  EXPECT_LT(GetTickCount64() - start, kPromptMs);
  EXPECT_STREQ("runas", gShellRequest.lpVerb);
  EXPECT_STREQ("C:\\Program Files\\Drv\\Driver\\Vista_64\\DPInst64.exe", gShellRequest.lpFile);
  EXPECT_STREQ(" /lm /sw /sa", gShellRequest.lpParameters);
  EXPECT_EQ(nullptr, gShellRequest.lpDirectory);
  EXPECT_EQ(SW_SHOWNORMAL, gShellRequest.nShow);
  EXPECT_TRUE(gShellRequest.fMask & SEE_MASK_NOCLOSEPROCESS);
  // The shell is asked with COM initialised, and it is undone once the start is over.
  EXPECT_EQ(S_FALSE, gComWhenAsked);
  EXPECT_EQ(S_OK, ComStateOfThisThread());
  // A caller's apartment of another kind is left as it was.
  ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  RunElevatedWith(RefuseElevation, kVistaLine, nullptr);
  EXPECT_EQ(S_FALSE, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  CoUninitialize();
  CoUninitialize();
}

HANDLE WINAPI FailSnapshot(DWORD, DWORD) { return INVALID_HANDLE_VALUE; }

TEST(FindProcessWith, SaysSoWhenThereIsNoSnapshot) {
  ProcessListApi system = LookUpProcessListApi();
  ProcessListApi failing = system;
  failing.createSnapshot = FailSnapshot;
  ProcessListApi missing = {nullptr, nullptr, nullptr};  // as on Windows NT 4.0
  for (const ProcessListApi& api : {failing, missing}) {
    uint32_t found = 1;
    std::string output = StandardOutputOf([&] { found = FindProcessWith(api, "winedevice.exe"); });
    EXPECT_EQ(0u, found);
    // Standard output is in text mode: the line ends as Windows text does.
    EXPECT_EQ("Fail To Create Snap Shot\r\n", output);
  }
  std::string output = StandardOutputOf([&] { FindProcessWith(system, "winedevice.exe"); });
  EXPECT_EQ("", output);
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

// What the start-up asked of the DLL search, as the documented calls record it. Wine keeps
// searching the current directory after SetDllDirectoryA("") (measured with Wine 8.0), so the
// calls are stood in for rather than their effect looked for.
std::vector<std::string> gDllSearchCalls;

BOOL WINAPI RecordSetDllDirectory(LPCSTR directory) {
  gDllSearchCalls.push_back(std::string("SetDllDirectory(") + (directory ? "\"" : "") +
                            (directory ? directory : "null") + (directory ? "\")" : ")"));
  return TRUE;
}

BOOL WINAPI RecordSetDefaultDllDirectories(DWORD flags) {
  gDllSearchCalls.push_back("SetDefaultDllDirectories(" + std::to_string(flags) + ")");
  return TRUE;
}

HMODULE WINAPI RecordLoadLibraryEx(LPCSTR path, HANDLE, DWORD flags) {
  gDllSearchCalls.push_back(std::string("LoadLibraryEx(") + path + ", " + std::to_string(flags) +
                            ")");
  return nullptr;
}

// Windows XP SP1 to 7 without the update have SetDllDirectory but not SetDefaultDllDirectories:
// there the one call alone must take the current directory, a driver folder anyone could have
// written to, out of the search for a DLL named bare; systems with neither keep their own.
TEST(KeepDllSearchToTheSystem, UsesWhatTheSystemHasOfTheTwoCalls) {
  const std::string kOutOfCurrentDirectory = "SetDllDirectory(\"\")";
  const std::string kSystemFolderOnly = "SetDefaultDllDirectories(2048)";  // ..._SYSTEM32
  const struct {
    bool hasSetDllDirectory, hasSetDefaultDllDirectories;
    std::vector<std::string> calls;
  } kRows[] = {
      {true, false, {kOutOfCurrentDirectory}},
      {true, true, {kOutOfCurrentDirectory, kSystemFolderOnly}},
      {false, true, {kSystemFolderOnly}},
      {false, false, {}},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(testing::Message() << row.hasSetDllDirectory << row.hasSetDefaultDllDirectories);
    gDllSearchCalls.clear();
    KeepDllSearchToTheSystemWith(
        row.hasSetDllDirectory ? RecordSetDllDirectory : nullptr,
        row.hasSetDefaultDllDirectories ? RecordSetDefaultDllDirectories : nullptr);
    EXPECT_EQ(row.calls, gDllSearchCalls);
  }
  // A system library's own DLLs are looked for beside it, in the system folder, first: altered
  // search (8), which Wine cannot show the difference of.
  gDllSearchCalls.clear();
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof system);
  LoadSystemLibraryWith(RecordLoadLibraryEx, "setupapi.dll");
  EXPECT_EQ(std::vector<std::string>{"LoadLibraryEx(" + std::string(system) + "\\setupapi.dll, 8)"},
            gDllSearchCalls);
}

}  // namespace
