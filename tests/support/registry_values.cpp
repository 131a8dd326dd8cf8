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

int PrefixBitness() {
  if (sizeof(void*) == 8) return 64;
  BOOL underWow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &underWow64) && underWow64 ? 64 : 32;
}
