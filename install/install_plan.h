// Which driver folder and installer command fit the detected system. No Windows header.
#ifndef QB7_INSTALL_INSTALL_PLAN_H
#define QB7_INSTALL_INSTALL_PLAN_H

#include <cstddef>

#include "../detect/os_class.h"
#include "command_line.h"

const size_t kDirectorySize = 160;
// The base directory is read with room for this many characters, terminator included.
const size_t kBaseDirectoryCapacity = 130;
// The setup library takes the install section decorated for the native processor, then the one
// for any NT system, then the plain one.
const size_t kInfSectionCandidates = 3;
const size_t kInfSectionNameSize = 32;

struct InstallPlan {
  const char* subdirectory;  // below the base directory, e.g. "\Driver\Vista_64"
  char driverDirectory[kDirectorySize];
  char commandLine[kCommandLineSize];
  LaunchMode mode;
  // A file of the driver folder that must be there before the command can do anything, or null.
  const char* packageFile;
  // On the INF road: the INF's full path, which the setup library is asked to read first, and
  // the names it takes the install section by, in the order it tries them; empty on the other.
  char infPath[kProgramPathSize];
  char infSections[kInfSectionCandidates][kInfSectionNameSize];
};

enum PlanResult {
  PLAN_READY,
  PLAN_UNSUPPORTED,  // no driver for this system: nothing is to run
  PLAN_TOO_LONG,     // the paths would not fit their buffers: nothing is to run
};

// Removes one trailing backslash, so a drive root "E:\" becomes "E:"; the second byte of a
// two-byte character at the end is no backslash.
void TrimTrailingBackslash(char* directory, const LeadBytes& leadBytes);

// The processor as INF section names decorate it: "x86", "amd64" or "ia64".
const char* InfPlatformOf(uint32_t processorType);

PlanResult BuildInstallPlan(SystemProbe probe, const char* baseDirectory, InstallPlan* plan);

#endif
