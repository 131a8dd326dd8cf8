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
  bool complete;
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
  if (walk->count >= kMaxDriverPackages) {
    walk->complete = false;
    return;
  }
  ++walk->count;
  if (walk->visit) walk->visit(path, walk->context);
}

// Calls `found` with the full path of each entry of `folder` matching `pattern` that is a folder
// when `folders`, a file else; "." and ".." are none.
void ForEachEntry(const char* folder, const char* pattern, bool folders, EntryFn found,
                  const Visit& visit) {
  char path[MAX_PATH];
  if (!JoinPath(path, folder, pattern)) {
    visit.walk->complete = false;
    return;
  }
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(path, &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    bool dots = strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0;
    if (isFolder != folders || dots) continue;
    if (JoinPath(path, folder, entry.cFileName)) {
      found(path, visit);
    } else {
      visit.walk->complete = false;
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
}

void VisitIfInf(const char* path, const Visit& visit) {
  // "*.inf" also finds "x.info" by its short name.
  if (EqualsIgnoringAsciiCase(path + strlen(path) - 4, ".inf", kSingleByteCodePage)) {
    VisitInf(visit.walk, path);
  }
}

// A folder the walk does not enter may hold packages the installer finds.
void PassOver(const char*, const Visit& visit) { visit.walk->complete = false; }

void VisitTree(const char* folder, const Visit& visit) {
  ForEachEntry(folder, "*.inf", false, VisitIfInf, visit);
  bool deepest = visit.depth >= kMaxSubfolderDepth;
  ForEachEntry(folder, "*", true, deepest ? PassOver : VisitTree,
               Visit{visit.walk, visit.depth + 1, nullptr});
}

// The folders below `folder` that the rest of a subDirectory path matches part by part, each
// searched with the folders below it; a part may hold wildcards.
void VisitSubfolders(const char* folder, const Visit& visit) {
  if (!*visit.rest) {
    VisitTree(folder, Visit{visit.walk, 0, nullptr});
    return;
  }
  char part[kDescriptorPathSize];
  size_t length = strcspn(visit.rest, "\\");
  memcpy(part, visit.rest, length);
  part[length] = '\0';
  Visit rest = {visit.walk, 0, visit.rest + length + (visit.rest[length] != '\0')};
  ForEachEntry(folder, part, true, VisitSubfolders, rest);
}

// The folder a descriptor's path starts from: the installer's, or after a leading "..", the one
// that holds it; `path` moved past that "..".
bool StartingFolder(const PackageWalk& walk, const char** path, char* folder) {
  size_t length = strlen(walk.folder);
  if (length >= MAX_PATH) return false;
  memcpy(folder, walk.folder, length + 1);
  const char* rest = *path + 2;
  if (strncmp(*path, "..", 2) != 0 || (*rest && *rest != '\\')) return true;
  *path = *rest ? rest + 1 : rest;
  char* name = strrchr(folder, '\\');
  if (!name) return false;
  *name = '\0';
  return true;
}

void VisitDescriptorEntry(DescriptorEntry entry, const char* path, void* context) {
  PackageWalk* walk = static_cast<PackageWalk*>(context);
  char folder[MAX_PATH];
  if (!StartingFolder(*walk, &path, folder)) {
    walk->complete = false;
    return;
  }
  if (entry == DESCRIPTOR_SUBFOLDER) {
    VisitSubfolders(folder, Visit{walk, 0, path});
    return;
  }
  char inf[MAX_PATH];
  if (!JoinPath(inf, folder, path)) {
    walk->complete = false;
    return;
  }
  DWORD attributes = GetFileAttributesA(inf);
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    VisitInf(walk, inf);
  }
}

// A descriptor that is missing leaves the folder alone; one that cannot be read, or read
// whole, leaves the count incomplete.
void VisitDescriptorPackages(PackageWalk* walk) {
  char path[MAX_PATH];
  if (!JoinPath(path, walk->folder, "dpinst.xml")) return;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) walk->complete = false;
    return;
  }
  char* text = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, kMaxDescriptorBytes + 1));
  DWORD size = 0;
  walk->complete = text && ReadFile(file, text, kMaxDescriptorBytes + 1, &size, nullptr) &&
                   ReadDescriptor(text, size, VisitDescriptorEntry, walk) && walk->complete;
  if (text) HeapFree(GetProcessHeap(), 0, text);
  CloseHandle(file);
}

}  // namespace

PackageCount ForEachDriverPackage(const char* folder, DriverPackageFn visit, void* context) {
  PackageWalk walk = {folder, visit, context, 0, true};
  ForEachEntry(folder, "*.inf", false, VisitIfInf, Visit{&walk, 0, nullptr});
  VisitDescriptorPackages(&walk);
  return {walk.count, walk.complete};
}
