#include "install_procedure.h"

#include <windows.h>

#include <cstring>

#include "../detect/system_probe.h"
#include "ansi_code_page.h"
#include "command_runner.h"

namespace {

InstallReport Report(InstallOutcome outcome, const char* subject = "") {
  InstallReport report;
  report.outcome = outcome;
  lstrcpynA(report.subject, subject, sizeof report.subject);
  return report;
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

  InstallPlan plan;
  switch (BuildInstallPlan(DetectSystem(), base, &plan)) {
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
  InstallOutcome outcome = OutcomeOfRun(RunCommand(plan.mode, plan.commandLine));
  bool namesCommand = outcome == INSTALL_NOT_STARTED || outcome == INSTALL_FAILED;
  return Report(outcome, namesCommand ? plan.commandLine : "");
}
