// The system's own libraries and the functions of them that older systems may lack, looked up
// at run time.
#ifndef QB7_INSTALL_SYSTEM_LIBRARY_H
#define QB7_INSTALL_SYSTEM_LIBRARY_H

#include <windows.h>

#include <cstddef>

#include "../detect/late_function.h"

// Every function the program looks up at run time, the user's interface language included.
// Those of setupapi.dll, cfgmgr32.dll and ole32.dll are found only while the caller holds
// the library, loaded with LoadSystemLibrary.
enum LateFunctionId {
  SET_DLL_DIRECTORY,
  SET_DEFAULT_DLL_DIRECTORIES,
  WOW64_DISABLE_REDIRECTION,
  WOW64_REVERT_REDIRECTION,
  CREATE_TOOLHELP_SNAPSHOT,
  PROCESS_FIRST,
  PROCESS_NEXT,
  RTL_GET_VERSION,
  SETUP_OPEN_INF_FILE,
  SETUP_CLOSE_INF_FILE,
  SETUP_GET_LINE_COUNT,
  SETUP_FIND_FIRST_LINE,
  SETUP_FIND_NEXT_LINE,
  SETUP_GET_FIELD_COUNT,
  SETUP_GET_STRING_FIELD,
  SETUP_DI_GET_CLASS_DEVS,
  SETUP_DI_ENUM_DEVICE_INFO,
  SETUP_DI_GET_DEVICE_REGISTRY_PROPERTY,
  SETUP_DI_DESTROY_DEVICE_INFO_LIST,
  CM_GET_DEVNODE_STATUS,
  CM_WAIT_NO_PENDING_INSTALL_EVENTS,
  GET_USER_DEFAULT_UI_LANGUAGE,
  GET_SYSTEM_WINDOWS_DIRECTORY,
  FORMAT_MESSAGE,
  CO_INITIALIZE_EX,
  CO_UNINITIALIZE,
  LATE_FUNCTION_COUNT
};

// Where each is looked up, so that a test can ask the system whether it is there.
extern const LateFunction kLateFunctions[LATE_FUNCTION_COUNT];

template <typename Function>
Function LateFunctionOf(LateFunctionId id) {
  return LookUpLate<Function>(kLateFunctions[id]);
}

// The full path of `fileName` in the system folder, into `path`; false when it does not fit.
// A file named bare would be looked for beside the program and in the current directory first.
bool SystemFolderPath(const char* fileName, char* path, size_t size);

// Loads the system folder's library `fileName` by its full path, and the DLLs it needs from the
// system folder too; null when it cannot.
HMODULE LoadSystemLibrary(const char* fileName);
typedef HMODULE(WINAPI* LoadLibraryExFn)(LPCSTR, HANDLE, DWORD);
HMODULE LoadSystemLibraryWith(LoadLibraryExFn load, const char* fileName);

typedef BOOL(WINAPI* SetDllDirectoryFn)(LPCSTR);
typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);

// Takes the current directory out of the search for DLLs loaded by bare name and, where the
// system can, keeps that search to the system folder. Either function may be null: systems
// without it keep their own search order.
void KeepDllSearchToTheSystem();
void KeepDllSearchToTheSystemWith(SetDllDirectoryFn setDllDirectory,
                                  SetDefaultDllDirectoriesFn setDefaultDllDirectories);

#endif
