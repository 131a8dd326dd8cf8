// The system's own libraries and the functions of them that older systems may lack, looked up
// at run time.
#ifndef QB7_INSTALL_SYSTEM_LIBRARY_H
#define QB7_INSTALL_SYSTEM_LIBRARY_H

#include <windows.h>

// The kernel32 function `name` as a pointer of type `Function`; null where the system lacks it.
// kernel32 is in every process already, so nothing is loaded or searched for.
template <typename Function>
Function KernelFunction(const char* name) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (!kernel) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel, name)));
}

// Loads the system folder's library `fileName` by its full path, so that a DLL of that name
// beside the program or in the current directory is never taken instead; null when it cannot.
HMODULE LoadSystemLibrary(const char* fileName);

#endif
