// The system's own libraries and the functions of them that older systems may lack, looked up
// at run time.
#ifndef QB7_INSTALL_SYSTEM_LIBRARY_H
#define QB7_INSTALL_SYSTEM_LIBRARY_H

#include <windows.h>

#include <cstddef>

// The function `name` of `library` as a pointer of type `Function`; null where it lacks it.
template <typename Function>
Function LibraryFunction(HMODULE library, const char* name) {
  if (!library) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// The kernel32 function `name`; kernel32 is in every process already, so nothing is loaded or
// searched for.
template <typename Function>
Function KernelFunction(const char* name) {
  return LibraryFunction<Function>(GetModuleHandleA("kernel32.dll"), name);
}

// The full path of `fileName` in the system folder, into `path`; false when it does not fit.
// A file named bare would be looked for beside the program and in the current directory first.
bool SystemFolderPath(const char* fileName, char* path, size_t size);

// Loads the system folder's library `fileName` by its full path, so that a DLL of that name
// beside the program or in the current directory is never taken instead; null when it cannot.
HMODULE LoadSystemLibrary(const char* fileName);

typedef BOOL(WINAPI* SetDllDirectoryFn)(LPCSTR);
typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);

// Takes the current directory out of the search for DLLs loaded by bare name and, where the
// system can, keeps that search to the system folder. Either function may be null: systems
// without it keep their own search order.
void KeepDllSearchToTheSystem();
void KeepDllSearchToTheSystemWith(SetDllDirectoryFn setDllDirectory,
                                  SetDefaultDllDirectoriesFn setDefaultDllDirectories);

#endif
