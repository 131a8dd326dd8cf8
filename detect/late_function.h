// A function of a system library that older systems may lack, looked up by name at run time.
#ifndef QB7_DETECT_LATE_FUNCTION_H
#define QB7_DETECT_LATE_FUNCTION_H

#include <windows.h>

struct LateFunction {
  const char* library;  // the system library's file name
  const char* name;
};

// The function from its library, which this process must have loaded already: looking it up
// never loads or searches for a DLL. Null where the library or the function is missing.
template <typename Function>
Function LookUpLate(const LateFunction& function) {
  HMODULE library = GetModuleHandleA(function.library);
  if (!library) return nullptr;
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(library, function.name)));
}

#endif
