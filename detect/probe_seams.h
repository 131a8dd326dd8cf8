// The system functions DetectSystem asks, so that a test can stand in for systems it cannot
// start: one that refuses the extended version record, or Windows on ARM.
#ifndef QB7_DETECT_PROBE_SEAMS_H
#define QB7_DETECT_PROBE_SEAMS_H

#include <windows.h>

#include "late_function.h"
#include "os_class.h"

struct ProbeApi {
  BOOL(WINAPI* getVersionEx)(OSVERSIONINFOA*);
  void(WINAPI* getSystemInfo)(SYSTEM_INFO*);
  // Null where the system lacks it (before Windows 10 version 1511).
  BOOL(WINAPI* isWow64Process2)(HANDLE, USHORT*, USHORT*);
};

// Where DetectSystem looks up the preferred function of each ProbeApi field, in field order.
extern const LateFunction kProbeFunctions[3];

// DetectSystem over `api`, whose first two functions are there.
SystemProbe ProbeWith(const ProbeApi& api);

#endif
