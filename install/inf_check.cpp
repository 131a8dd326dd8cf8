#include "inf_check.h"

#include "inf_reader.h"

namespace {

// A section that is there but empty counts 0 lines, and installs; a missing one counts -1.
bool HasAnyInstallSection(const InfReader& reader, HINF inf, const InstallPlan& plan) {
  for (const char* section : plan.infSections) {
    if (reader.lineCount(inf, section) >= 0) return true;
  }
  return false;
}

}  // namespace

InfCheck CheckInf(const InstallPlan& plan, unsigned* errorLine) {
  *errorLine = 0;
  HMODULE setupLibrary = LoadSystemLibrary("setupapi.dll");
  if (!setupLibrary) return INF_NOT_CHECKED;
  InfReader reader;
  InfCheck check = INF_NOT_CHECKED;
  if (LookUpInfReader(&reader)) {
    UINT line = 0;
    HINF inf = reader.open(plan.infPath, nullptr, INF_STYLE_WIN4, &line);
    if (inf == INVALID_HANDLE_VALUE) {
      *errorLine = line;
      check = INF_UNREADABLE;
    } else {
      check = HasAnyInstallSection(reader, inf, plan) ? INF_USABLE : INF_NO_SECTION;
      reader.close(inf);
    }
  }
  FreeLibrary(setupLibrary);
  return check;
}
