#include "install_procedure.h"

#include <windows.h>

#include <cstring>

#include "../detect/system_probe.h"
#include "adapter_check.h"
#include "ansi_code_page.h"
#include "command_runner.h"
#include "driver_packages.h"
#include "inf_check.h"
#include "system_library.h"

namespace {

InstallReport Report(InstallOutcome outcome, const char* subject = "") {
  InstallReport report;
  report.outcome = outcome;
  lstrcpynA(report.subject, subject, sizeof report.subject);
  report.sectionsLookedFor[0] = '\0';
  report.infLine = 0;
  report.followUps = FOLLOW_UP_NONE;
  report.adapter = {ADAPTER_NOT_CHECKED, 0};
  report.infRoad = false;
  report.exitCodeUncountable = false;
  report.exitCode = 0;
  for (char* log : report.logs) log[0] = '\0';
  return report;
}

// Appends `piece` to the text of `length` characters in `text`, cut short where it would not fit.
size_t AppendBounded(char* text, size_t length, size_t size, const char* piece) {
  lstrcpynA(text + length, piece, static_cast<int>(size - length));
  return length + strlen(text + length);
}

// "A.NTamd64, A.NT, A".
void ListSections(const InstallPlan& plan, char* list, size_t size) {
  size_t length = 0;
  list[0] = '\0';
  for (const char* section : plan.infSections) {
    if (length) length = AppendBounded(list, length, size, ", ");
    length = AppendBounded(list, length, size, section);
  }
}

// rundll32 would end as quietly after an INF it rejects as after one it installs, so the setup
// library is asked first; where it cannot be asked, rundll32 runs as it always did.
bool InfRejected(const InstallPlan& plan, InstallReport* report) {
  unsigned line = 0;
  switch (CheckInf(plan, &line)) {
    case INF_UNREADABLE:
      *report = Report(INSTALL_INF_REJECTED, plan.infPath);
      report->infLine = line;
      return true;
    case INF_NO_SECTION:
      *report = Report(INSTALL_INF_NO_SECTION, plan.infPath);
      ListSections(plan, report->sectionsLookedFor, sizeof report->sectionsLookedFor);
      return true;
    case INF_USABLE:
    case INF_NOT_CHECKED: break;
  }
  return false;
}

// A path longer than the buffer's room is not used cut short: the caller gets false.
bool ReadBaseDirectory(char* base) {
  DWORD length = GetCurrentDirectoryA(kBaseDirectoryCapacity, base);
  if (length == 0 || length >= kBaseDirectoryCapacity) return false;
  TrimTrailingBackslash(base, AnsiLeadBytes());
  return true;
}

InstallOutcome OutcomeOfRun(RunResult result) {
  switch (result) {
    case RUN_FINISHED: return INSTALL_FINISHED;
    case RUN_FAILED: return INSTALL_FAILED;
    case RUN_TOO_LONG: return INSTALL_PATH_TOO_LONG;
    default: return INSTALL_NOT_STARTED;
  }
}

typedef UINT(WINAPI* GetSystemWindowsDirectoryFn)(LPSTR, UINT);

// The Windows folder of the system: under Terminal Services GetWindowsDirectory gives a user's
// own one instead (NT 4.0 has only that call).
bool WindowsFolder(char* folder, UINT size) {
  auto systemWindowsDirectory =
      LateFunctionOf<GetSystemWindowsDirectoryFn>(GET_SYSTEM_WINDOWS_DIRECTORY);
  UINT length = systemWindowsDirectory ? systemWindowsDirectory(folder, size)
                                       : GetWindowsDirectoryA(folder, size);
  return length > 0 && length < size;
}

// Where Windows wrote down what it did: the driver package installer's log and the device
// install log in the INF folder from Vista on, the setup library's log on 2000/XP. Only a file
// that is there is named.
void FindLogs(InstallReport* report) {
  char folder[MAX_PATH];
  if (!WindowsFolder(folder, sizeof folder)) return;
  const char* const kVistaLogs[kLogCount] = {"\\DPINST.LOG", "\\inf\\setupapi.dev.log"};
  const char* const kXpLogs[kLogCount] = {"\\setupapi.log", nullptr};
  const char* const* names = report->infRoad ? kXpLogs : kVistaLogs;
  size_t found = 0;
  for (size_t i = 0; i < kLogCount && names[i]; ++i) {
    char* path = report->logs[found];
    lstrcpynA(path, folder, kLogPathSize);
    size_t length = strlen(path);
    lstrcpynA(path + length, names[i], static_cast<int>(kLogPathSize - length));
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      ++found;
    } else {
      path[0] = '\0';
    }
  }
}

}  // namespace

InstallReport RunInstall() {
  char base[kDirectorySize];
  if (!ReadBaseDirectory(base)) return Report(INSTALL_PATH_TOO_LONG);

  SystemProbe probe = DetectSystem();
  InstallPlan plan;
  switch (BuildInstallPlan(probe, base, &plan)) {
    case PLAN_UNSUPPORTED: return Report(INSTALL_UNSUPPORTED);
    case PLAN_TOO_LONG: return Report(INSTALL_PATH_TOO_LONG);
    case PLAN_READY: break;
  }
  // Starting an installer from the wrong folder could install the wrong package.
  if (!SetCurrentDirectoryA(plan.driverDirectory)) {
    return Report(INSTALL_FOLDER_MISSING, plan.driverDirectory);
  }
  if (plan.packageFile && GetFileAttributesA(plan.packageFile) == INVALID_FILE_ATTRIBUTES) {
    return Report(INSTALL_PACKAGE_MISSING, plan.driverDirectory);
  }
  InstallReport rejected;
  if (plan.infPath[0] && InfRejected(plan, &rejected)) return rejected;
  uint32_t exitCode = 0;
  InstallOutcome outcome = OutcomeOfRun(RunCommand(plan.mode, plan.commandLine, &exitCode));
  // The driver package installer counts in its exit code the packages it found; rundll32 gives
  // no code. Where they cannot all be counted here, the code is read as counts.
  unsigned packages = kAnyPackageCount;
  if (!plan.infPath[0]) {
    PackageCount count = ForEachDriverPackage(plan.driverDirectory, nullptr, nullptr);
    if (count.complete) packages = count.found;
  }
  InstallerExit exit = DecodeInstallerExit(exitCode, packages);
  if (outcome == INSTALL_FINISHED && exit.failed) outcome = INSTALL_FAILED;
  bool namesCommand = outcome == INSTALL_NOT_STARTED || outcome == INSTALL_FAILED;
  InstallReport report = Report(outcome, namesCommand ? plan.commandLine : "");
  report.infRoad = plan.infPath[0] != '\0';
  report.followUps = FollowUpsOf(exit);
  report.exitCodeUncountable = outcome == INSTALL_FAILED && exit.uncountable;
  report.exitCode = exitCode;
  if (outcome == INSTALL_FINISHED) report.adapter = CheckAdapter(plan, probe.processorType);
  if (outcome == INSTALL_FAILED || report.adapter.state == ADAPTER_PROBLEM) FindLogs(&report);
  return report;
}
