// Usage: bench PROGRAM_EXE BARE_DIALOG_EXE MEDIUM_DIR
//
// Measures the setup program from outside, as the GUI tests drive it: start-up until its dialog
// is visible and answers messages (against a bare dialog from the same template), the latency
// from an installer's exit to the notice on both roads, and the program's CPU time and peak
// working set while it waits for an elevated installer. Prints rows of a Markdown table.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "deadline.h"
#include "program.h"
#include "window_access.h"
#include "wine_host.h"

using namespace gui_driver;

namespace {

const int kInstallId = 1006;
const int kCloseId = 1007;
const int kStartupRuns = 15;
const DWORD kInstallTimeoutMs = 60000;

double NowMs() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return 1000.0 * counter.QuadPart / frequency.QuadPart;
}

struct Stats {
  double median, min, max;
};

Stats Summarise(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  if (values.empty()) return {0, 0, 0};
  return {values[values.size() / 2], values.front(), values.back()};
}

void PrintRow(const char* what, const std::vector<double>& values, const char* unit) {
  Stats stats = Summarise(values);
  printf("| %s | %.2f %s | %.2f | %.2f | %zu |\n", what, stats.median, unit, stats.min, stats.max,
         values.size());
}

// Visible, and its thread takes messages: what a user needs to start clicking.
HWND WaitUntilReady(const Program& program) {
  HWND dialog = nullptr;
  PollUntil([&] { return (dialog = FindWindowOf(program.Id(), kDialogClass, nullptr)) != nullptr; },
            kWindowTimeoutMs);
  DWORD_PTR ignored;
  if (dialog) SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, kWindowTimeoutMs, &ignored);
  return dialog;
}

double StartupMs(const std::string& exe, const std::string& folder) {
  Program program;
  double start = NowMs();
  if (!program.Start(exe, folder)) return -1;
  HWND dialog = WaitUntilReady(program);
  double ready = NowMs();
  if (dialog) PostCommand(dialog, kCloseId);
  program.WaitForExit(kWindowTimeoutMs);
  return dialog ? ready - start : -1;
}

// The installer the program started: a process whose parent is the program.
HANDLE OpenChildOf(DWORD parentId) {
  HANDLE child = nullptr;
  PollUntil(
      [&] {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32First(snapshot, &entry); more && !child;
             more = Process32Next(snapshot, &entry)) {
          if (entry.th32ParentProcessID == parentId) {
            child = OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID);
          }
        }
        CloseHandle(snapshot);
        return child != nullptr;
      },
      kWindowTimeoutMs);
  return child;
}

double CpuMs(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
  ULARGE_INTEGER k = {{kernel.dwLowDateTime, kernel.dwHighDateTime}};
  ULARGE_INTEGER u = {{user.dwLowDateTime, user.dwHighDateTime}};
  return (k.QuadPart + u.QuadPart) / 10000.0;
}

struct InstallRun {
  double latencyMs = -1;  // installer exit until the notice is visible
  double cpuMs = -1;      // the program's CPU time from Install until the notice
  double peakKb = -1;     // the program's peak working set
};

InstallRun MeasureInstall(const std::string& exe, const std::string& medium, DWORD delayMs) {
  InstallRun run;
  Program program;
  Environment environment = {{"QB7_STANDIN_DELAY_MS", std::to_string(delayMs)}};
  if (!program.Start(exe, medium, environment)) return run;
  HWND dialog = WaitUntilReady(program);
  HANDLE self = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, program.Id());
  if (!dialog || !self) return run;
  double cpuBefore = CpuMs(self);
  PressButton(dialog, kInstallId);
  HANDLE installer = OpenChildOf(program.Id());
  if (installer && WaitForSingleObject(installer, kInstallTimeoutMs) == WAIT_OBJECT_0) {
    double installerEnded = NowMs();
    HWND notice = nullptr;
    bool seen = PollUntil(
        [&] { return (notice = FindWindowOf(program.Id(), kDialogClass, "Status")) != nullptr; },
        kWindowTimeoutMs);
    if (seen) {
      run.latencyMs = NowMs() - installerEnded;
      run.cpuMs = CpuMs(self) - cpuBefore;
      PROCESS_MEMORY_COUNTERS memory = {};
      if (GetProcessMemoryInfo(self, &memory, sizeof memory)) {
        run.peakKb = memory.PeakWorkingSetSize / 1024.0;
      }
      ConfirmMessageBox(notice);
    }
  }
  if (installer) CloseHandle(installer);
  CloseHandle(self);
  program.WaitForExit(kWindowTimeoutMs);
  return run;
}

void BenchStartup(const std::string& exe, const std::string& bare, const std::string& medium) {
  std::vector<double> programStartup, bareStartup, ratio;
  for (int i = 0; i < kStartupRuns; ++i) {
    double b = StartupMs(bare, medium);
    double p = StartupMs(exe, medium);
    if (b <= 0 || p <= 0) continue;
    bareStartup.push_back(b);
    programStartup.push_back(p);
    ratio.push_back(p / b);
  }
  PrintRow("start-up, bare dialog", bareStartup, "ms");
  PrintRow("start-up, setup program", programStartup, "ms");
  PrintRow("start-up ratio, program / bare dialog", ratio, "x");
}

// The installer's exit falls at a different point of the elevated road's 500 ms poll in each run,
// so the figures cover the whole interval instead of one phase of it.
DWORD SpreadDelay(DWORD delayMs, int run, int runs) { return delayMs + run * 500 / runs; }

// One road: `label` names it; the installer waits about `delayMs` before it exits.
void BenchLatency(const std::string& exe, const std::string& medium, const std::string& label,
                  DWORD delayMs, int runs) {
  std::vector<double> latency;
  for (int i = 0; i < runs; ++i) {
    InstallRun run = MeasureInstall(exe, medium, SpreadDelay(delayMs, i, runs));
    if (run.latencyMs >= 0) latency.push_back(run.latencyMs);
  }
  PrintRow(("completion latency, " + label).c_str(), latency, "ms");
}

// The program's own cost while it waits `delayMs` for the installer.
void BenchWait(const std::string& exe, const std::string& medium, const std::string& label,
               DWORD delayMs, int runs) {
  std::vector<double> cpu, peak;
  for (int i = 0; i < runs; ++i) {
    InstallRun run = MeasureInstall(exe, medium, delayMs);
    if (run.latencyMs < 0) continue;
    cpu.push_back(run.cpuMs);
    peak.push_back(run.peakKb);
  }
  std::string seconds = std::to_string(delayMs / 1000) + " s";
  PrintRow(("CPU time while waiting " + seconds + ", " + label).c_str(), cpu, "ms");
  PrintRow(("peak working set, " + label).c_str(), peak, "KB");
}

}  // namespace

// Modes: "startup", "latency LABEL DELAY_MS RUNS", "wait LABEL DELAY_MS RUNS". The caller sets
// the reported Windows version, which decides the road.
int main(int argc, char** argv) {
  if (argc < 5) {
    fprintf(
        stderr,
        "usage: bench PROGRAM_EXE BARE_DIALOG_EXE MEDIUM_DIR startup\n"
        "       bench PROGRAM_EXE BARE_DIALOG_EXE MEDIUM_DIR latency|wait LABEL DELAY_MS RUNS\n");
    return 2;
  }
  std::string exe = ToWindowsPath(argv[1]);
  std::string bare = ToWindowsPath(argv[2]);
  std::string medium = ToWindowsPath(argv[3]);
  std::string mode = argv[4];
  if (mode == "startup") {
    BenchStartup(exe, bare, medium);
  } else if ((mode == "latency" || mode == "wait") && argc == 8) {
    DWORD delayMs = strtoul(argv[6], nullptr, 10);
    int runs = atoi(argv[7]);
    if (mode == "latency") BenchLatency(exe, medium, argv[5], delayMs, runs);
    if (mode == "wait") BenchWait(exe, medium, argv[5], delayMs, runs);
  } else {
    fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
  }
  return 0;
}
