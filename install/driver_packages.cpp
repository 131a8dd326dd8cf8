#include "driver_packages.h"

#include <windows.h>

#include <cstring>

#include "command_line.h"
#include "dpinst_descriptor.h"

namespace {

struct PackageWalk {
  const char* folder;
  DriverPackageFn visit;
  void* context;
  unsigned count;
};

// Where a walk through folders stands.
struct Visit {
  PackageWalk* walk;
  unsigned depth;    // folder levels below the subfolder the descriptor names
  const char* rest;  // what is left of a subDirectory path
};

typedef void (*EntryFn)(const char* path, const Visit& visit);

// `folder`\`name` into `path` of MAX_PATH; false when it does not fit.
bool JoinPath(char* path, const char* folder, const char* name) {
  size_t folderLength = strlen(folder);
  size_t nameLength = strlen(name);
  if (folderLength + 1 + nameLength >= MAX_PATH) return false;
  memcpy(path, folder, folderLength);
  path[folderLength] = '\\';
  memcpy(path + folderLength + 1, name, nameLength + 1);
  return true;
}

void VisitInf(PackageWalk* walk, const char* path) {
  if (walk->count >= kMaxDriverPackages) return;
  ++walk->count;
  if (walk->visit) walk->visit(path, walk->context);
}

// Calls `found` with the full path of each entry of `folder` matching `pattern` that is a folder
// when `folders`, a file else; "." and ".." are none.
void ForEachEntry(const char* folder, const char* pattern, bool folders, EntryFn found,
                  const Visit& visit) {
  char path[MAX_PATH];
  if (!JoinPath(path, folder, pattern)) return;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(path, &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    bool dots = strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0;
    if (isFolder == folders && !dots && JoinPath(path, folder, entry.cFileName)) found(path, visit);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
}

void VisitIfInf(const char* path, const Visit& visit) {
  // "*.inf" also finds "x.info" by its short name.
  if (EqualsIgnoringAsciiCase(path + strlen(path) - 4, ".inf", kSingleByteCodePage)) {
    VisitInf(visit.walk, path);
  }
}

void VisitTree(const char* folder, const Visit& visit) {
  ForEachEntry(folder, "*.inf", false, VisitIfInf, visit);
  if (visit.depth >= kMaxSubfolderDepth) return;
  ForEachEntry(folder, "*", true, VisitTree, Visit{visit.walk, visit.depth + 1, nullptr});
}

// The folders below `folder` that the rest of a subDirectory path matches part by part, each
// searched with the folders below it; a part may hold wildcards.
void VisitSubfolders(const char* folder, const Visit& visit) {
  const char* parts = visit.rest;
  while (*parts == '\\' || *parts == '/') ++parts;
  if (!*parts) {
    VisitTree(folder, Visit{visit.walk, 0, nullptr});
    return;
  }
  char part[kDescriptorPathSize];
  size_t length = strcspn(parts, "\\/");
  memcpy(part, parts, length);
  part[length] = '\0';
  Visit rest = {visit.walk, 0, parts + length};
  if (strcmp(part, ".") == 0) {
    VisitSubfolders(folder, rest);
    return;
  }
  ForEachEntry(folder, part, true, VisitSubfolders, rest);
}

// A path from the descriptor never leads out of the installer's folder.
bool StaysBelow(const char* path) {
  if (path[0] == '\\' || path[0] == '/' || strchr(path, ':')) return false;
  for (const char* part = path; *part; part += strcspn(part, "\\/"), part += *part != '\0') {
    if (part[0] == '.' && part[1] == '.' &&
        (part[2] == '\0' || part[2] == '\\' || part[2] == '/')) {
      return false;
    }
  }
  return true;
}

void VisitDescriptorEntry(DescriptorEntry entry, const char* path, void* context) {
  PackageWalk* walk = static_cast<PackageWalk*>(context);
  if (!StaysBelow(path)) return;
  if (entry == DESCRIPTOR_SUBFOLDER) {
    VisitSubfolders(walk->folder, Visit{walk, 0, path});
    return;
  }
  char inf[MAX_PATH];
  DWORD attributes =
      JoinPath(inf, walk->folder, path) ? GetFileAttributesA(inf) : INVALID_FILE_ATTRIBUTES;
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    VisitInf(walk, inf);
  }
}

void VisitDescriptorPackages(PackageWalk* walk) {
  char path[MAX_PATH];
  if (!JoinPath(path, walk->folder, "dpinst.xml")) return;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char* text = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, kMaxDescriptorBytes));
  DWORD size = 0;
  if (text && ReadFile(file, text, kMaxDescriptorBytes, &size, nullptr)) {
    ReadDescriptor(text, size, VisitDescriptorEntry, walk);
  }
  if (text) HeapFree(GetProcessHeap(), 0, text);
  CloseHandle(file);
}

}  // namespace

unsigned ForEachDriverPackage(const char* folder, DriverPackageFn visit, void* context) {
  PackageWalk walk = {folder, visit, context, 0};
  ForEachEntry(folder, "*.inf", false, VisitIfInf, Visit{&walk, 0, nullptr});
  VisitDescriptorPackages(&walk);
  return walk.count;
}
