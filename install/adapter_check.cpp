#include "adapter_check.h"

#include <cstring>

#include "../detect/probe_seams.h"
#include "adapter_seams.h"
#include "command_line.h"
#include "driver_packages.h"
#include "inf_reader.h"
#include "system_library.h"

namespace {

typedef LONG(WINAPI* RtlGetVersionFn)(OSVERSIONINFOEXW*);
typedef BOOL(WINAPI* GetVersionExFn)(OSVERSIONINFOA*);

// A device id is at most 200 characters (MAX_DEVICE_ID_LEN); a longer field is none.
const DWORD kIdSize = MAX_DEVICE_ID_LEN + 1;
const DWORD kSectionSize = 256;
// A [Manufacturer] line's decorations taken, and the longest one: "NTamd64.10.0.1.0x110.22000"
// is 26 characters, a longer field is no decoration.
const DWORD kMaxDecorations = 32;
const DWORD kDecorationSize = 64;
// A device's hardware or compatible ids, each terminated, the list ended by an empty one.
const DWORD kIdListSize = 4096;

bool Complete(const DeviceApi& api) {
  return api.getClassDevs && api.enumDeviceInfo && api.getRegistryProperty && api.destroyList &&
         api.getStatus;
}

// The version Windows really is: a program without a manifest is told 6.2 by GetVersionEx on
// 8.1 and later, while the setup library picks models sections by the real one.
WindowsVersion RunningWindowsVersion() {
  WindowsVersion version = {0, 0, 0, 0, 0};
  OSVERSIONINFOEXW real;
  ZeroMemory(&real, sizeof real);
  real.dwOSVersionInfoSize = sizeof real;
  auto rtlGetVersion = LateFunctionOf<RtlGetVersionFn>(RTL_GET_VERSION);
  if (rtlGetVersion && rtlGetVersion(&real) == 0) {
    version = {real.dwMajorVersion, real.dwMinorVersion, real.dwBuildNumber, real.wProductType,
               real.wSuiteMask};
    return version;
  }
  OSVERSIONINFOEXA told;
  ZeroMemory(&told, sizeof told);
  told.dwOSVersionInfoSize = sizeof told;
  auto getVersionEx = LookUpLate<GetVersionExFn>(kProbeFunctions[0]);
  if (getVersionEx && getVersionEx(reinterpret_cast<OSVERSIONINFOA*>(&told))) {
    version = {told.dwMajorVersion, told.dwMinorVersion, told.dwBuildNumber, told.wProductType,
               told.wSuiteMask};
  }
  return version;
}

// Each line of a models section: description = install section, hardware id[, compatible id...].
void AddModelIds(const InfReader& reader, HINF inf, const char* section, HardwareIdList* ids) {
  INFCONTEXT line;
  for (BOOL more = reader.findFirstLine(inf, section, nullptr, &line); more;
       more = reader.findNextLine(&line, &line)) {
    DWORD fields = reader.fieldCount(&line);
    for (DWORD field = 2; field <= fields; ++field) {
      char id[kIdSize];
      if (reader.stringField(&line, field, id, sizeof id, nullptr)) AddHardwareId(ids, id);
    }
  }
}

// [Manufacturer] lines: name = models section[, decoration...]. Of each, the one models section
// the setup library takes here is read.
void AddManufacturerIds(const InfReader& reader, HINF inf, const char* platform,
                        const WindowsVersion& version, HardwareIdList* ids) {
  INFCONTEXT line;
  for (BOOL more = reader.findFirstLine(inf, "Manufacturer", nullptr, &line); more;
       more = reader.findNextLine(&line, &line)) {
    char models[kSectionSize + 1 + kDecorationSize];
    if (!reader.stringField(&line, 1, models, kSectionSize, nullptr)) continue;
    char texts[kMaxDecorations][kDecorationSize];
    const char* decorations[kMaxDecorations];
    DWORD count = 0;
    DWORD fields = reader.fieldCount(&line);
    for (DWORD field = 2; field <= fields && count < kMaxDecorations; ++field) {
      if (reader.stringField(&line, field, texts[count], kDecorationSize, nullptr)) {
        decorations[count] = texts[count];
        ++count;
      }
    }
    int chosen = ChooseModelsDecoration(decorations, count, platform, version);
    if (chosen == kNoModels) continue;
    if (chosen != kUndecoratedModels) {
      size_t length = strlen(models);
      models[length] = '.';
      memcpy(models + length + 1, decorations[chosen], strlen(decorations[chosen]) + 1);
    }
    AddModelIds(reader, inf, models, ids);
  }
}

struct InfIdsRead {
  const InfReader& reader;
  const char* platform;
  const WindowsVersion& version;
  HardwareIdList* ids;
};

void AddInfIds(const char* infPath, void* context) {
  const InfIdsRead& read = *static_cast<InfIdsRead*>(context);
  UINT errorLine = 0;
  HINF inf = read.reader.open(infPath, nullptr, INF_STYLE_WIN4, &errorLine);
  if (inf == INVALID_HANDLE_VALUE) return;
  AddManufacturerIds(read.reader, inf, read.platform, read.version, read.ids);
  read.reader.close(inf);
}

bool ReadServedIds(const InstallPlan& plan, uint32_t processorType, const WindowsVersion& version,
                   HardwareIdList* ids) {
  InfReader reader;
  if (!LookUpInfReader(&reader)) return false;
  InfIdsRead read = {reader, InfPlatformOf(processorType), version, ids};
  if (plan.infPath[0]) {
    AddInfIds(plan.infPath, &read);
  } else {
    ForEachDriverPackage(plan.driverDirectory, AddInfIds, &read);
  }
  return ids->count > 0;
}

bool DeviceHasIdOf(const DeviceApi& api, HDEVINFO devices, SP_DEVINFO_DATA* device,
                   const HardwareIdList& ids) {
  const DWORD kIdProperties[] = {SPDRP_HARDWAREID, SPDRP_COMPATIBLEIDS};
  for (DWORD property : kIdProperties) {
    // Zeroed and read short of its size, the list always ends in two terminators.
    char list[kIdListSize] = {};
    if (api.getRegistryProperty(devices, device, property, nullptr, reinterpret_cast<BYTE*>(list),
                                sizeof list - 2, nullptr) &&
        ServesAnyOf(ids, list, sizeof list)) {
      return true;
    }
  }
  return false;
}

AdapterReport AssessMatchingDevices(const DeviceApi& api, HDEVINFO devices,
                                    const HardwareIdList& ids, bool installsMayBePending) {
  AdapterReport report = {ids.overflowed ? ADAPTER_NOT_CHECKED : ADAPTER_ABSENT, 0};
  SP_DEVINFO_DATA device;
  device.cbSize = sizeof device;
  for (DWORD index = 0; api.enumDeviceInfo(devices, index, &device); ++index) {
    ULONG status = 0;
    ULONG problem = 0;
    // A device that went away since the list was made has no status.
    if (!DeviceHasIdOf(api, devices, &device, ids) ||
        api.getStatus(&status, &problem, device.DevInst, 0) != CR_SUCCESS) {
      continue;
    }
    DeviceStatus seen = {(status & DN_STARTED) != 0, (status & DN_HAS_PROBLEM) != 0, problem};
    report = MoreUrgent(report, AssessDevice(seen, installsMayBePending));
  }
  return report;
}

}  // namespace

DeviceApi LookUpDeviceApi() {
  DeviceApi api = {
      LateFunctionOf<decltype(DeviceApi::getClassDevs)>(SETUP_DI_GET_CLASS_DEVS),
      LateFunctionOf<decltype(DeviceApi::enumDeviceInfo)>(SETUP_DI_ENUM_DEVICE_INFO),
      LateFunctionOf<decltype(DeviceApi::getRegistryProperty)>(
          SETUP_DI_GET_DEVICE_REGISTRY_PROPERTY),
      LateFunctionOf<decltype(DeviceApi::destroyList)>(SETUP_DI_DESTROY_DEVICE_INFO_LIST),
      LateFunctionOf<decltype(DeviceApi::getStatus)>(CM_GET_DEVNODE_STATUS),
      LateFunctionOf<decltype(DeviceApi::waitNoPendingInstalls)>(
          CM_WAIT_NO_PENDING_INSTALL_EVENTS)};
  return api;
}

AdapterReport FindAdapterWith(const DeviceApi& api, const HardwareIdList& ids) {
  AdapterReport notChecked = {ADAPTER_NOT_CHECKED, 0};
  if (!Complete(api)) return notChecked;
  // Windows 2000 has no wait to ask, and a wait that failed says nothing: installs may be pending.
  bool installsMayBePending = !api.waitNoPendingInstalls ||
                              api.waitNoPendingInstalls(kPendingInstallsWaitMs) != WAIT_OBJECT_0;
  HDEVINFO devices = api.getClassDevs(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return notChecked;
  AdapterReport report = AssessMatchingDevices(api, devices, ids, installsMayBePending);
  api.destroyList(devices);
  return report;
}

AdapterReport CheckAdapter(const InstallPlan& plan, uint32_t processorType) {
  AdapterReport report = {ADAPTER_NOT_CHECKED, 0};
  HMODULE setupLibrary = LoadSystemLibrary("setupapi.dll");
  HMODULE configManager = LoadSystemLibrary("cfgmgr32.dll");
  HardwareIdList ids;
  ClearHardwareIds(&ids);
  WindowsVersion version = RunningWindowsVersion();
  if (setupLibrary && configManager && ReadServedIds(plan, processorType, version, &ids)) {
    report = FindAdapterWith(LookUpDeviceApi(), ids);
  }
  report.windows10OrLater = version.major >= 10;
  if (configManager) FreeLibrary(configManager);
  if (setupLibrary) FreeLibrary(setupLibrary);
  return report;
}
