#include "system_library.h"

#include <cstring>

HMODULE LoadSystemLibrary(const char* fileName) {
  char path[MAX_PATH];
  UINT folderLength = GetSystemDirectoryA(path, sizeof path);
  size_t nameLength = strlen(fileName);
  if (folderLength == 0 || folderLength + 1 + nameLength >= sizeof path) return nullptr;
  path[folderLength] = '\\';
  memcpy(path + folderLength + 1, fileName, nameLength + 1);
  return LoadLibraryA(path);
}
