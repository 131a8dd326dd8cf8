#include "system_probe.h"

#include <windows.h>

namespace {

typedef BOOL(WINAPI* GetVersionExFn)(OSVERSIONINFOA*);
typedef void(WINAPI* GetSystemInfoFn)(SYSTEM_INFO*);

// Entry points that older systems lack are looked up by name, each with its fallback.
void* LookUp(HMODULE kernel, const char* preferred, const char* fallback) {
  FARPROC entry = GetProcAddress(kernel, preferred);
  if (!entry) entry = GetProcAddress(kernel, fallback);
  return reinterpret_cast<void*>(entry);
}

SystemProbe Probe(GetVersionExFn getVersionEx, GetSystemInfoFn getSystemInfo) {
  // A failed query leaves the record zero, and major version 0 matches no rule.
  OSVERSIONINFOEXA version;
  ZeroMemory(&version, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  getVersionEx(reinterpret_cast<OSVERSIONINFOA*>(&version));

  SYSTEM_INFO system;
  ZeroMemory(&system, sizeof system);
  getSystemInfo(&system);

  VersionFacts facts = {version.dwMajorVersion, version.dwMinorVersion, version.dwPlatformId,
                        version.wProductType};
  SystemProbe probe = {ClassifyOs(facts), BitnessOfProcessorType(system.dwProcessorType)};
  return probe;
}

}  // namespace

SystemProbe DetectSystem() {
  SystemProbe probe = {OS_UNRECOGNISED, 0};
  HMODULE kernel = LoadLibraryA("Kernel32.dll");
  if (!kernel) return probe;

  // A 32-bit process on 64-bit Windows must ask for the native record to see the real processor.
  GetSystemInfoFn getSystemInfo =
      reinterpret_cast<GetSystemInfoFn>(LookUp(kernel, "GetNativeSystemInfo", "GetSystemInfo"));
  GetVersionExFn getVersionEx =
      reinterpret_cast<GetVersionExFn>(LookUp(kernel, "GetVersionExA", "GetVersionEx"));
  if (getSystemInfo && getVersionEx) probe = Probe(getVersionEx, getSystemInfo);

  FreeLibrary(kernel);
  return probe;
}
