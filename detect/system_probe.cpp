#include "system_probe.h"

#include "probe_seams.h"

namespace {

typedef decltype(ProbeApi::getVersionEx) GetVersionExFn;
typedef decltype(ProbeApi::getSystemInfo) GetSystemInfoFn;
typedef decltype(ProbeApi::isWow64Process2) IsWow64Process2Fn;

// Entry points that older systems lack are looked up by name, each with its fallback.
void* LookUp(const LateFunction& preferred, const char* fallback) {
  void* entry = LookUpLate<void*>(preferred);
  if (!entry && fallback) entry = LookUpLate<void*>({preferred.library, fallback});
  return entry;
}

// Windows 95, 98 and ME, and NT 4.0 before Service Pack 6, know only the basic record and fail
// for the extended one; the product type then stays 0. A query that fails both ways leaves the
// record zero, and major version 0 matches no rule.
VersionFacts VersionOf(GetVersionExFn getVersionEx) {
  OSVERSIONINFOEXA version;
  ZeroMemory(&version, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  if (!getVersionEx(reinterpret_cast<OSVERSIONINFOA*>(&version))) {
    ZeroMemory(&version, sizeof version);
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    getVersionEx(reinterpret_cast<OSVERSIONINFOA*>(&version));
  }
  VersionFacts facts = {version.dwMajorVersion, version.dwMinorVersion, version.dwPlatformId,
                        version.wProductType};
  return facts;
}

// The machine Windows itself runs on, which the system record does not tell an emulated
// program; 0 where the system cannot say.
uint16_t NativeMachineOf(IsWow64Process2Fn isWow64Process2) {
  USHORT processMachine = 0;
  USHORT nativeMachine = 0;
  if (!isWow64Process2 || !isWow64Process2(GetCurrentProcess(), &processMachine, &nativeMachine)) {
    return 0;
  }
  return nativeMachine;
}

}  // namespace

const LateFunction kProbeFunctions[3] = {{"kernel32.dll", "GetVersionExA"},
                                         {"kernel32.dll", "GetNativeSystemInfo"},
                                         {"kernel32.dll", "IsWow64Process2"}};

SystemProbe ProbeWith(const ProbeApi& api) {
  VersionFacts facts = VersionOf(api.getVersionEx);
  SYSTEM_INFO system;
  ZeroMemory(&system, sizeof system);
  api.getSystemInfo(&system);

  OsClass osClass = ClassifyOs(facts);
  if (!DriversServeNativeMachine(NativeMachineOf(api.isWow64Process2))) osClass = OS_UNRECOGNISED;
  SystemProbe probe = {osClass, BitnessOfProcessorType(system.dwProcessorType),
                       system.dwProcessorType};
  return probe;
}

SystemProbe DetectSystem() {
  SystemProbe probe = {OS_UNRECOGNISED, 0, 0};
  HMODULE kernel = LoadLibraryA("Kernel32.dll");
  if (!kernel) return probe;

  // A 32-bit process on 64-bit Windows must ask for the native record to see the real processor.
  ProbeApi api = {reinterpret_cast<GetVersionExFn>(LookUp(kProbeFunctions[0], "GetVersionEx")),
                  reinterpret_cast<GetSystemInfoFn>(LookUp(kProbeFunctions[1], "GetSystemInfo")),
                  reinterpret_cast<IsWow64Process2Fn>(LookUp(kProbeFunctions[2], nullptr))};
  if (api.getVersionEx && api.getSystemInfo) probe = ProbeWith(api);

  FreeLibrary(kernel);
  return probe;
}
