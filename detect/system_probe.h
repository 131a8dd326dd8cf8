// Detection of the running Windows version and processor.
#ifndef QB7_DETECT_SYSTEM_PROBE_H
#define QB7_DETECT_SYSTEM_PROBE_H

#include "os_class.h"

// Asks the system afresh on every call; OS_UNRECOGNISED with bitness 0 when it cannot ask.
SystemProbe DetectSystem();

#endif
