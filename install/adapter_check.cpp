#include "adapter_check.h"

#include <cstring>

#include "../detect/probe_seams.h"
#include "adapter_seams.h"
#include "command_line.h"
#include "inf_reader.h"
#include "system_library.h"

namespace {

typedef LONG(WINAPI* RtlGetVersionFn)(OSVERSIONINFOEXW*);
typedef BOOL(WINAPI* GetVersionExFn)(OSVERSIONINFOA*);

// A device id is at most 200 characters (MAX_DEVICE_ID_LEN); a longer field is none.
const DWORD kIdSize = MAX_DEVICE_ID_LEN + 1;
const DWORD kSectionSize = 256;
// A device's hardware or compatible ids, each terminated, the list ended by an empty one.
const DWORD kIdListSize = 4096;

bool Complete(const DeviceApi& api) {
  return api.getClassDevs && api.enumDeviceInfo && api.getRegistryProperty && api.destroyList &&
         api.getStatus;
}

// The version Windows really is: a program without a manifest is told 6.2 by GetVersionEx on
// 8.1 and later, while the setup library picks models sections by the real one.
WindowsVersion RunningWindowsVersion() {
  WindowsVersion version = {0, 0, 0, 0};
  OSVERSIONINFOEXW real;
  ZeroMemory(&real, sizeof real);
  real.dwOSVersionInfoSize = sizeof real;
  auto rtlGetVersion = LateFunctionOf<RtlGetVersionFn>(RTL_GET_VERSION);
  if (rtlGetVersion && rtlGetVersion(&real) == 0) {
    version = {real.dwMajorVersion, real.dwMinorVersion, real.dwBuildNumber, real.wProductType};
    return version;
  }
  OSVERSIONINFOEXA told;
  ZeroMemory(&told, sizeof told);
  told.dwOSVersionInfoSize = sizeof told;
  auto getVersionEx = LookUpLate<GetVersionExFn>(kProbeFunctions[0]);
  if (getVersionEx && getVersionEx(reinterpret_cast<OSVERSIONINFOA*>(&told))) {
    version = {told.dwMajorVersion, told.dwMinorVersion, told.dwBuildNumber, told.wProductType};
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

// [Manufacturer] lines: name = models section[, decoration...]. The plain section is read, and
// each decorated one whose decoration applies here.
void AddManufacturerIds(const InfReader& reader, HINF inf, const char* platform,
                        const WindowsVersion& version, HardwareIdList* ids) {
  INFCONTEXT line;
  for (BOOL more = reader.findFirstLine(inf, "Manufacturer", nullptr, &line); more;
       more = reader.findNextLine(&line, &line)) {
    char models[kSectionSize];
    if (!reader.stringField(&line, 1, models, sizeof models, nullptr)) continue;
    AddModelIds(reader, inf, models, ids);
    size_t modelsLength = strlen(models);
    DWORD fields = reader.fieldCount(&line);
    for (DWORD field = 2; field <= fields; ++field) {
      char decorated[kSectionSize * 2];
      memcpy(decorated, models, modelsLength);
      decorated[modelsLength] = '.';
      char* decoration = decorated + modelsLength + 1;
      if (reader.stringField(&line, field, decoration, kSectionSize, nullptr) &&
          ModelsDecorationApplies(decoration, platform, version)) {
        AddModelIds(reader, inf, decorated, ids);
      }
    }
  }
}

void AddInfIds(const InfReader& reader, const char* infPath, const char* platform,
               const WindowsVersion& version, HardwareIdList* ids) {
  UINT errorLine = 0;
  HINF inf = reader.open(infPath, nullptr, INF_STYLE_WIN4, &errorLine);
  if (inf == INVALID_HANDLE_VALUE) return;
  AddManufacturerIds(reader, inf, platform, version, ids);
  reader.close(inf);
}

// The driver package installer installs every INF of its folder.
void AddFolderIds(const InfReader& reader, const char* folder, const char* platform,
                  const WindowsVersion& version, HardwareIdList* ids) {
  char path[MAX_PATH];
  size_t folderLength = strlen(folder);
  const char kPattern[] = "\\*.inf";
  if (folderLength + sizeof kPattern > sizeof path) return;
  memcpy(path, folder, folderLength);
  memcpy(path + folderLength, kPattern, sizeof kPattern);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    size_t nameLength = strlen(found.cFileName);
    // "*.inf" also finds "x.info" by its short name.
    bool inf = nameLength > 4 && EqualsIgnoringAsciiCase(found.cFileName + nameLength - 4, ".inf",
                                                         kSingleByteCodePage);
    if (!inf || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        folderLength + 1 + nameLength >= sizeof path) {
      continue;
    }
    path[folderLength] = '\\';
    memcpy(path + folderLength + 1, found.cFileName, nameLength + 1);
    AddInfIds(reader, path, platform, version, ids);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

bool ReadServedIds(const InstallPlan& plan, uint32_t processorType, HardwareIdList* ids) {
  InfReader reader;
  if (!LookUpInfReader(&reader)) return false;
  const char* platform = InfPlatformOf(processorType);
  WindowsVersion version = RunningWindowsVersion();
  if (plan.infPath[0]) {
    AddInfIds(reader, plan.infPath, platform, version, ids);
  } else {
    AddFolderIds(reader, plan.driverDirectory, platform, version, ids);
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
                                    const HardwareIdList& ids, bool installsPending) {
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
    report = MoreUrgent(report, AssessDevice(seen, installsPending));
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
  bool installsPending = api.waitNoPendingInstalls &&
                         api.waitNoPendingInstalls(kPendingInstallsWaitMs) == WAIT_TIMEOUT;
  HDEVINFO devices = api.getClassDevs(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return notChecked;
  AdapterReport report = AssessMatchingDevices(api, devices, ids, installsPending);
  api.destroyList(devices);
  return report;
}

AdapterReport CheckAdapter(const InstallPlan& plan, uint32_t processorType) {
  AdapterReport report = {ADAPTER_NOT_CHECKED, 0};
  HMODULE setupLibrary = LoadSystemLibrary("setupapi.dll");
  HMODULE configManager = LoadSystemLibrary("cfgmgr32.dll");
  HardwareIdList ids;
  ClearHardwareIds(&ids);
  if (setupLibrary && configManager && ReadServedIds(plan, processorType, &ids)) {
    report = FindAdapterWith(LookUpDeviceApi(), ids);
  }
  if (configManager) FreeLibrary(configManager);
  if (setupLibrary) FreeLibrary(setupLibrary);
  return report;
}
