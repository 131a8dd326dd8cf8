#include "inf_check.h"

#include <windows.h>
#include <setupapi.h>

#include "system_library.h"

namespace {

typedef HINF(WINAPI* OpenInfFileFn)(PCSTR, PCSTR, DWORD, PUINT);
typedef LONG(WINAPI* GetLineCountFn)(HINF, PCSTR);
typedef void(WINAPI* CloseInfFileFn)(HINF);

}  // namespace

InfCheck CheckInf(const char* infPath, const char* section, unsigned* errorLine) {
  *errorLine = 0;
  HMODULE setupLibrary = LoadSystemLibrary("setupapi.dll");
  if (!setupLibrary) return INF_NOT_CHECKED;
  auto openInf = LibraryFunction<OpenInfFileFn>(setupLibrary, "SetupOpenInfFileA");
  auto lineCount = LibraryFunction<GetLineCountFn>(setupLibrary, "SetupGetLineCountA");
  auto closeInf = LibraryFunction<CloseInfFileFn>(setupLibrary, "SetupCloseInfFile");
  InfCheck check = INF_NOT_CHECKED;
  if (openInf && lineCount && closeInf) {
    UINT line = 0;
    HINF inf = openInf(infPath, nullptr, INF_STYLE_WIN4, &line);
    if (inf == INVALID_HANDLE_VALUE) {
      *errorLine = line;
      check = INF_UNREADABLE;
    } else {
      // A section that is there but empty counts 0 lines; a missing one counts -1.
      check = lineCount(inf, section) >= 0 ? INF_USABLE : INF_NO_SECTION;
      closeInf(inf);
    }
  }
  FreeLibrary(setupLibrary);
  return check;
}
