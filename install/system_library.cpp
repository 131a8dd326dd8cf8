#include "system_library.h"

#include <cstring>

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

HMODULE LoadSystemLibrary(const char* fileName) {
  char path[MAX_PATH];
  return SystemFolderPath(fileName, path, sizeof path) ? LoadLibraryA(path) : nullptr;
}

// The program runs from download folders and from media anyone could have written to, and its
// current directory becomes a driver folder: a DLL planted there or beside the program must not
// be loaded in place of the system's. Windows XP SP1 to 7 without the update that brought
// SetDefaultDllDirectories have only SetDllDirectory.
void KeepDllSearchToTheSystemWith(SetDllDirectoryFn setDllDirectory,
                                  SetDefaultDllDirectoriesFn setDefaultDllDirectories) {
  if (setDllDirectory) setDllDirectory("");
  if (setDefaultDllDirectories) setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void KeepDllSearchToTheSystem() {
  KeepDllSearchToTheSystemWith(
      KernelFunction<SetDllDirectoryFn>("SetDllDirectoryA"),
      KernelFunction<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories"));
}
