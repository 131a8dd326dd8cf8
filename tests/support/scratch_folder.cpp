#include "scratch_folder.h"

#include <windows.h>

namespace {

std::string TempFolder() {
  char path[MAX_PATH];
  DWORD length = GetTempPathA(sizeof path, path);
  char longPath[MAX_PATH];
  DWORD longLength = GetLongPathNameA(path, longPath, sizeof longPath);
  std::string folder = longLength > 0 && longLength < sizeof longPath
                           ? std::string(longPath, longLength)
                           : std::string(path, length);
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder;
}

}  // namespace

// The space in the name makes every path built on it one that must stay unquoted and whole.
std::string MakeScratchFolder() {
  static unsigned counter = 0;
  for (;;) {
    std::string path = TempFolder() + "QB7 Scratch " + std::to_string(GetCurrentProcessId()) + "-" +
                       std::to_string(++counter);
    if (CreateDirectoryA(path.c_str(), nullptr)) return path;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return "";
  }
}

bool MakeFolders(const std::string& path) {
  if (FolderExists(path)) return true;
  size_t parentEnd = path.find_last_of('\\');
  if (parentEnd != std::string::npos && parentEnd > 2) MakeFolders(path.substr(0, parentEnd));
  return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

void RemoveTree(const std::string& path) {
  if (path.empty()) return;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      std::string child = path + "\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryA(path.c_str());
}

bool CopyFileTo(const std::string& source, const std::string& target) {
  return CopyFileA(source.c_str(), target.c_str(), FALSE) != FALSE;
}

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadTextFile(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  std::string text;
  char chunk[4096];
  DWORD read = 0;
  while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) text.append(chunk, read);
  CloseHandle(file);
  return text;
}

bool SamePath(const std::string& first, const std::string& second) {
  return lstrcmpiA(first.c_str(), second.c_str()) == 0;
}
