#include "install_plan.h"

#include <cstring>

namespace {

struct PlanRow {
  const char* subdirectory;
  LaunchMode mode;
  const char* prefix;  // what comes before the driver directory in the command line
  const char* suffix;  // what comes after it
  const char* packageFile;
  bool infRoad;
};

// The INF-section installer is asked for section AX88772.Ndi with mode 132: 128 takes the
// INF's own folder as the source path, 4 asks the user to restart only when one is needed.
const char kInfPrefix[] = "rundll32.exe setupapi.dll,InstallHinfSection AX88772.Ndi 132 ";
const char kInfSuffix[] = "\\Ax88772.inf";
// rundll32 ends quietly when the INF is not there, so its presence is checked beforehand. The
// driver package installers are the programs started, so a missing one fails the start instead.
const char kInfFile[] = "Ax88772.inf";
const char kInfSection[] = "AX88772.Ndi";

const PlanRow kXp32 = {"\\Driver\\Win2000_WinXP", DIRECT, kInfPrefix, kInfSuffix, kInfFile, true};
const PlanRow kXp64 = {"\\Driver\\WinXP_64", DIRECT, kInfPrefix, kInfSuffix, kInfFile, true};
// /lm legacy mode, /sw no wizard pages, /sa no entry in the installed-programs list.
const PlanRow kVista32 = {"\\Driver\\Vista_32",         ELEVATED, "",
                          "\\DPInst32.exe /lm /sw /sa", nullptr,  false};
const PlanRow kVista64 = {"\\Driver\\Vista_64",         ELEVATED, "",
                          "\\DPInst64.exe /lm /sw /sa", nullptr,  false};

const PlanRow* RowFor(SystemProbe probe) {
  bool is64 = probe.bitness == 64;
  if (IsXpFamily(probe.osClass)) return is64 ? &kXp64 : &kXp32;
  if (IsVistaFamily(probe.osClass)) return is64 ? &kVista64 : &kVista32;
  return nullptr;
}

// Joins the pieces into `out`; a result that would not fit is refused, never cut.
bool Join(char* out, size_t size, const char* first, const char* second, const char* third = "") {
  size_t lengths[] = {strlen(first), strlen(second), strlen(third)};
  if (lengths[0] + lengths[1] + lengths[2] >= size) return false;
  memcpy(out, first, lengths[0]);
  memcpy(out + lengths[0], second, lengths[1]);
  memcpy(out + lengths[0] + lengths[1], third, lengths[2] + 1);
  return true;
}

// The setup library's own section choice cannot be asked: in a 32-bit process on 64-bit Windows
// it would choose for x86, while the native rundll32 chooses for the native processor.
bool NameInfSections(uint32_t processorType, InstallPlan* plan) {
  const char* platform = InfPlatformOf(processorType);
  return Join(plan->infSections[0], kInfSectionNameSize, kInfSection, ".NT", platform) &&
         Join(plan->infSections[1], kInfSectionNameSize, kInfSection, ".NT") &&
         Join(plan->infSections[2], kInfSectionNameSize, kInfSection, "");
}

void ClearInfRoad(InstallPlan* plan) {
  plan->infPath[0] = '\0';
  for (char* section : plan->infSections) section[0] = '\0';
}

}  // namespace

const char* InfPlatformOf(uint32_t processorType) {
  switch (processorType) {
    case kProcessorAmd64: return "amd64";
    case kProcessorIa64: return "ia64";
    default: return "x86";
  }
}

void TrimTrailingBackslash(char* directory, const LeadBytes& leadBytes) {
  char* last = nullptr;
  for (char* c = directory; *c != '\0'; c += CharacterLength(c, leadBytes)) last = c;
  if (last && *last == '\\') *last = '\0';
}

PlanResult BuildInstallPlan(SystemProbe probe, const char* baseDirectory, InstallPlan* plan) {
  const PlanRow* row = RowFor(probe);
  if (!row) return PLAN_UNSUPPORTED;

  plan->subdirectory = row->subdirectory;
  plan->mode = row->mode;
  plan->packageFile = row->packageFile;
  ClearInfRoad(plan);
  bool fits =
      Join(plan->driverDirectory, sizeof plan->driverDirectory, baseDirectory, row->subdirectory) &&
      Join(plan->commandLine, sizeof plan->commandLine, row->prefix, plan->driverDirectory,
           row->suffix) &&
      (!row->infRoad ||
       (Join(plan->infPath, sizeof plan->infPath, plan->driverDirectory, kInfSuffix) &&
        NameInfSections(probe.processorType, plan)));
  return fits ? PLAN_READY : PLAN_TOO_LONG;
}
