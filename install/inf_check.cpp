#include "inf_check.h"

#include <windows.h>
#include <setupapi.h>

#include "system_library.h"

namespace {

typedef HINF(WINAPI* OpenInfFileFn)(PCSTR, PCSTR, DWORD, PUINT);
typedef LONG(WINAPI* GetLineCountFn)(HINF, PCSTR);
typedef void(WINAPI* CloseInfFileFn)(HINF);

// A section that is there but empty counts 0 lines, and installs; a missing one counts -1.
bool HasAnyInstallSection(HINF inf, GetLineCountFn lineCount, const InstallPlan& plan) {
  for (const char* section : plan.infSections) {
    if (lineCount(inf, section) >= 0) return true;
  }
  return false;
}

}  // namespace

InfCheck CheckInf(const InstallPlan& plan, unsigned* errorLine) {
  *errorLine = 0;
  HMODULE setupLibrary = LoadSystemLibrary("setupapi.dll");
  if (!setupLibrary) return INF_NOT_CHECKED;
  auto openInf = LateFunctionOf<OpenInfFileFn>(SETUP_OPEN_INF_FILE);
  auto lineCount = LateFunctionOf<GetLineCountFn>(SETUP_GET_LINE_COUNT);
  auto closeInf = LateFunctionOf<CloseInfFileFn>(SETUP_CLOSE_INF_FILE);
  InfCheck check = INF_NOT_CHECKED;
  if (openInf && lineCount && closeInf) {
    UINT line = 0;
    HINF inf = openInf(plan.infPath, nullptr, INF_STYLE_WIN4, &line);
    if (inf == INVALID_HANDLE_VALUE) {
      *errorLine = line;
      check = INF_UNREADABLE;
    } else {
      check = HasAnyInstallSection(inf, lineCount, plan) ? INF_USABLE : INF_NO_SECTION;
      closeInf(inf);
    }
  }
  FreeLibrary(setupLibrary);
  return check;
}
