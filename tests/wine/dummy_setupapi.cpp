// A stand-in for the setup library that reads no INF: every one it is asked to open is
// unreadable at line 4242. A test that finds this line knows which setupapi.dll was loaded.
#include <windows.h>

extern "C" {

__declspec(dllexport) HANDLE WINAPI
    SetupOpenInfFileA(const char*, const char*, DWORD, UINT* errorLine) {
  if (errorLine) *errorLine = 4242;
  return INVALID_HANDLE_VALUE;
}

__declspec(dllexport) LONG WINAPI SetupGetLineCountA(HANDLE, const char*) { return -1; }

__declspec(dllexport) void WINAPI SetupCloseInfFile(HANDLE) {}
}
