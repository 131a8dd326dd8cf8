// The install procedure behind the Install button.
#ifndef QB7_INSTALL_INSTALL_PROCEDURE_H
#define QB7_INSTALL_INSTALL_PROCEDURE_H

#include <cstdint>

#include "adapter_state.h"
#include "command_line.h"
#include "install_plan.h"
#include "installer_exit.h"

enum InstallOutcome {
  INSTALL_FINISHED,         // the installer ran and was waited for
  INSTALL_UNSUPPORTED,      // no driver for this system; nothing ran
  INSTALL_PATH_TOO_LONG,    // the current directory or a path built from it does not fit
  INSTALL_FOLDER_MISSING,   // the driver folder could not be entered; nothing ran
  INSTALL_NOT_STARTED,      // the installer could not be started, or elevation was refused
  INSTALL_FAILED,           // the installer ran and reported a failure, or crashed
  INSTALL_PACKAGE_MISSING,  // the driver folder lacks the package the command needs; nothing ran
  INSTALL_INF_REJECTED,     // the setup library cannot read the INF; nothing ran
  INSTALL_INF_NO_SECTION,   // the INF lacks the section to install; nothing ran
};

// The device install log and the driver package installer's own; their full paths.
const size_t kLogCount = 2;
const size_t kLogPathSize = 260;

struct InstallReport {
  InstallOutcome outcome;
  // The driver folder for INSTALL_FOLDER_MISSING and INSTALL_PACKAGE_MISSING; the command line
  // for INSTALL_NOT_STARTED and INSTALL_FAILED; the INF for INSTALL_INF_*.
  char subject[kCommandLineSize];
  // For INSTALL_INF_NO_SECTION: the install sections looked for, in the order they were.
  char sectionsLookedFor[kInfSectionCandidates * (kInfSectionNameSize + 2)];
  unsigned infLine;  // for INSTALL_INF_REJECTED: the line the setup library named, or 0
  // For INSTALL_FINISHED and INSTALL_FAILED: FOLLOW_UP_* flags from the installer's exit code.
  uint8_t followUps;
  // For INSTALL_FINISHED: how the adapter stands once the installer is done; not checked else.
  AdapterReport adapter;
  // The installer was the setup library's, through rundll32 (2000/XP family).
  bool infRoad;
  // For INSTALL_FAILED: the installer's exit code, when it is no count of packages.
  bool exitCodeUncountable;
  uint32_t exitCode;
  // After a failure or a device problem: the logs Windows wrote its details to, where they exist;
  // the unused ones empty.
  char logs[kLogCount][kLogPathSize];
};

// Enters the driver folder for the running system below the current directory and runs its
// installer, returning when that has finished. The current directory is left in the folder.
InstallReport RunInstall();

#endif
