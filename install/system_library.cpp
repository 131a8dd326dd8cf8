#include "system_library.h"

#include <cstring>

namespace {

const char kKernel[] = "kernel32.dll";
const char kSetupLibrary[] = "setupapi.dll";
const char kConfigManager[] = "cfgmgr32.dll";

}  // namespace

const LateFunction kLateFunctions[LATE_FUNCTION_COUNT] = {
    {kKernel, "SetDllDirectoryA"},
    {kKernel, "SetDefaultDllDirectories"},
    {kKernel, "Wow64DisableWow64FsRedirection"},
    {kKernel, "Wow64RevertWow64FsRedirection"},
    {kKernel, "CreateToolhelp32Snapshot"},
    {kKernel, "Process32First"},
    {kKernel, "Process32Next"},
    {"ntdll.dll", "RtlGetVersion"},
    {kSetupLibrary, "SetupOpenInfFileA"},
    {kSetupLibrary, "SetupCloseInfFile"},
    {kSetupLibrary, "SetupGetLineCountA"},
    {kSetupLibrary, "SetupFindFirstLineA"},
    {kSetupLibrary, "SetupFindNextLine"},
    {kSetupLibrary, "SetupGetFieldCount"},
    {kSetupLibrary, "SetupGetStringFieldA"},
    {kSetupLibrary, "SetupDiGetClassDevsA"},
    {kSetupLibrary, "SetupDiEnumDeviceInfo"},
    {kSetupLibrary, "SetupDiGetDeviceRegistryPropertyA"},
    {kSetupLibrary, "SetupDiDestroyDeviceInfoList"},
    {kConfigManager, "CM_Get_DevNode_Status"},
    {kConfigManager, "CMP_WaitNoPendingInstallEvents"},
    {kKernel, "GetUserDefaultUILanguage"},
    {kKernel, "GetSystemWindowsDirectoryA"},
    {kKernel, "FormatMessageA"},
    {"ole32.dll", "CoInitializeEx"},
    {"ole32.dll", "CoUninitialize"},
};

bool SystemFolderPath(const char* fileName, char* path, size_t size) {
  char folder[MAX_PATH];
  UINT folderLength = GetSystemDirectoryA(folder, sizeof folder);
  size_t nameLength = strlen(fileName);
  if (folderLength == 0 || folderLength >= sizeof folder || folderLength + 1 + nameLength >= size) {
    return false;
  }
  memcpy(path, folder, folderLength);
  path[folderLength] = '\\';
  memcpy(path + folderLength + 1, fileName, nameLength + 1);
  return true;
}

// The full path keeps a DLL of that name beside the program or in the current directory from
// being taken instead, but the DLLs the library itself needs would still be searched for in the
// program's folder first, on XP to 7 without the update that brought SetDefaultDllDirectories:
// a zip unpacked into Downloads is where a planted one lies. Altered search looks for them in
// the library's own folder, the system folder, first.
HMODULE LoadSystemLibraryWith(LoadLibraryExFn load, const char* fileName) {
  char path[MAX_PATH];
  if (!SystemFolderPath(fileName, path, sizeof path)) return nullptr;
  return load(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE LoadSystemLibrary(const char* fileName) {
  return LoadSystemLibraryWith(LoadLibraryExA, fileName);
}

// The program runs from download folders and from media anyone could have written to, and its
// current directory becomes a driver folder: a DLL planted there must not be loaded by a bare
// name in place of the system's. SetDllDirectory takes the current directory out of that search
// (Windows XP SP1 on); SetDefaultDllDirectories keeps it to the system folder (7 with an update,
// 8 on). Neither keeps the program's own folder out of the search for a library's dependencies:
// LoadSystemLibrary sees to those.
void KeepDllSearchToTheSystemWith(SetDllDirectoryFn setDllDirectory,
                                  SetDefaultDllDirectoriesFn setDefaultDllDirectories) {
  if (setDllDirectory) setDllDirectory("");
  if (setDefaultDllDirectories) setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void KeepDllSearchToTheSystem() {
  KeepDllSearchToTheSystemWith(
      LateFunctionOf<SetDllDirectoryFn>(SET_DLL_DIRECTORY),
      LateFunctionOf<SetDefaultDllDirectoriesFn>(SET_DEFAULT_DLL_DIRECTORIES));
}
