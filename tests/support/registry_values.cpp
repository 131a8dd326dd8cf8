#include "registry_values.h"

#include <vector>

bool WriteRegistryString(HKEY root, const std::string& key, const char* name, const char* value) {
  HKEY handle;
  if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  LONG status = RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                               lstrlenA(value) + 1);
  RegCloseKey(handle);
  return status == ERROR_SUCCESS;
}

// Wine reads the version at process start, from this key per exe file name before the
// prefix-wide setting, which lets each test give each child its own system.
bool SetReportedVersion(const char* exeFileName, const char* version) {
  return WriteRegistryString(HKEY_CURRENT_USER, AppDefaultsKey(exeFileName), "Version", version);
}

std::string AppDefaultsKey(const char* exeFileName) {
  return std::string("Software\\Wine\\AppDefaults\\") + exeFileName;
}

bool ReadRegistryString(HKEY root, const char* key, const char* name, std::string* value,
                        REGSAM view) {
  HKEY handle;
  if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE | view, &handle) != ERROR_SUCCESS) return false;
  DWORD type = 0;
  DWORD size = 0;
  LONG status = RegQueryValueExA(handle, name, nullptr, &type, nullptr, &size);
  std::vector<char> data(size + 1, '\0');
  if (status == ERROR_SUCCESS && type == REG_SZ) {
    status =
        RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
  }
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS || type != REG_SZ) return false;
  *value = data.data();
  return true;
}

void DeleteRegistryValue(HKEY root, const char* key, const char* name, REGSAM view) {
  HKEY handle;
  if (RegOpenKeyExA(root, key, 0, KEY_SET_VALUE | view, &handle) != ERROR_SUCCESS) return;
  RegDeleteValueA(handle, name);
  RegCloseKey(handle);
}

namespace {

const char kDeviceKey[] = "System\\CurrentControlSet\\Enum\\USB\\VID_0B95&PID_7720\\QB7TEST";

void SetMultiString(HKEY key, const char* name, const char* ids) {
  if (!ids) return;
  size_t size = 0;
  while (ids[size]) size += lstrlenA(ids + size) + 1;
  RegSetValueExA(key, name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(ids), DWORD(size + 1));
}

}  // namespace

bool PlantDeviceNode(const char* hardwareIds, const char* compatibleIds) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kDeviceKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  SetMultiString(key, "HardwareID", hardwareIds);
  SetMultiString(key, "CompatibleIDs", compatibleIds);
  const char kNetClass[] = "{4d36e972-e325-11ce-bfc1-08002be10318}";
  RegSetValueExA(key, "ClassGUID", 0, REG_SZ, reinterpret_cast<const BYTE*>(kNetClass),
                 sizeof kNetClass);
  RegCloseKey(key);
  return true;
}

void RemoveDeviceNode() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kDeviceKey); }

int PrefixBitness() {
  if (sizeof(void*) == 8) return 64;
  BOOL underWow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &underWow64) && underWow64 ? 64 : 32;
}
