// The install procedure behind the Install button.
#ifndef QB7_INSTALL_INSTALL_PROCEDURE_H
#define QB7_INSTALL_INSTALL_PROCEDURE_H

#include "command_line.h"
#include "install_plan.h"

enum InstallOutcome {
  INSTALL_FINISHED,         // the installer ran and was waited for
  INSTALL_UNSUPPORTED,      // no driver for this system; nothing ran
  INSTALL_PATH_TOO_LONG,    // the current directory or a path built from it does not fit
  INSTALL_FOLDER_MISSING,   // the driver folder could not be entered; nothing ran
  INSTALL_NOT_STARTED,      // the installer could not be started, or elevation was refused
  INSTALL_FAILED,           // the installer ran and reported a failure, or crashed
  INSTALL_PACKAGE_MISSING,  // the driver folder lacks the package the command needs; nothing ran
};

struct InstallReport {
  InstallOutcome outcome;
  // The driver folder for INSTALL_FOLDER_MISSING and INSTALL_PACKAGE_MISSING; the command line
  // for INSTALL_NOT_STARTED and INSTALL_FAILED.
  char subject[kCommandLineSize];
};

// Enters the driver folder for the running system below the current directory and runs its
// installer, returning when that has finished. The current directory is left in the folder.
InstallReport RunInstall();

#endif
