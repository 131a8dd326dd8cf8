#include "wine_host.h"

#include <windows.h>

namespace gui_driver {

namespace {

const char kX11DriverKey[] = "Software\\Wine\\X11 Driver";
const char kManagedValue[] = "Managed";

// Wine's own export: maps a host path onto the drive that holds it, whatever its letter.
using DosFileNameFunction = WCHAR* (*)(const char*);

std::string NarrowFromWide(const WCHAR* wide) {
  char narrow[MAX_PATH * 2] = "";
  WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
  return narrow;
}

// Wine maps the host's root to drive Z: in every prefix it makes.
std::string OnDriveZ(const std::string& path) {
  std::string windows = "Z:" + path;
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  return windows;
}

}  // namespace

std::string ToWindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  // Through void*: an exported function's real type is known only to its caller.
  auto toDos = reinterpret_cast<DosFileNameFunction>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
  WCHAR* dos = toDos ? toDos(path.c_str()) : nullptr;
  if (!dos) return OnDriveZ(path);
  std::string windows = NarrowFromWide(dos);
  HeapFree(GetProcessHeap(), 0, dos);
  return windows;
}

bool DrawCaptionsInWine(bool on) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kX11DriverKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  // "Managed" N: Wine manages every window itself, frames and captions included.
  static const char kNo[] = "N";
  LONG status = on ? RegSetValueExA(key, kManagedValue, 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(kNo), sizeof kNo)
                   : RegDeleteValueA(key, kManagedValue);
  RegCloseKey(key);
  return status == ERROR_SUCCESS || (!on && status == ERROR_FILE_NOT_FOUND);
}

}  // namespace gui_driver
