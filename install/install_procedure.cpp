#include "install_procedure.h"

#include <windows.h>

#include <cstring>

#include "../detect/system_probe.h"
#include "adapter_check.h"
#include "ansi_code_page.h"
#include "command_runner.h"
#include "inf_check.h"

namespace {

InstallReport Report(InstallOutcome outcome, const char* subject = "") {
  InstallReport report;
  report.outcome = outcome;
  lstrcpynA(report.subject, subject, sizeof report.subject);
  report.sectionsLookedFor[0] = '\0';
  report.infLine = 0;
  report.followUps = FOLLOW_UP_NONE;
  report.adapter = {ADAPTER_NOT_CHECKED, 0};
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
  bool namesCommand = outcome == INSTALL_NOT_STARTED || outcome == INSTALL_FAILED;
  InstallReport report = Report(outcome, namesCommand ? plan.commandLine : "");
  report.followUps = FollowUpsOf(DecodeInstallerExit(exitCode));
  if (outcome == INSTALL_FINISHED) report.adapter = CheckAdapter(plan, probe.processorType);
  return report;
}
