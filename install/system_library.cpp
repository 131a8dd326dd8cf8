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
