#include "installer_exit.h"

// An installer that fails before its own work begins, such as one that cannot start its setup
// library, ends with a plain Windows error code: 1627 (0x0000065B), read as counts, would claim
// 91 packages installed and 6 stored from a folder of two INFs. Counts adding up to more than the
// packages it could find are no counts, and the code is a failure whatever its bits say.
InstallerExit DecodeInstallerExit(uint32_t exitCode, unsigned packagesFound) {
  InstallerExit exit;
  exit.failedPackages = static_cast<uint8_t>(exitCode >> 16);
  exit.storedPackages = static_cast<uint8_t>(exitCode >> 8);
  exit.installedPackages = static_cast<uint8_t>(exitCode);
  exit.uncountable =
      unsigned(exit.failedPackages) + exit.storedPackages + exit.installedPackages > packagesFound;
  if (exit.uncountable) {
    exit.failedPackages = exit.storedPackages = exit.installedPackages = 0;
    exit.failed = true;
    exit.needsRestart = false;
    return exit;
  }
  // A package counted as failed is a failure even where the flag is clear.
  exit.failed = (exitCode & 0x80000000u) != 0 || exit.failedPackages != 0;
  exit.needsRestart = (exitCode & 0x40000000u) != 0;
  return exit;
}

// A package that only reached the driver store is installed by Windows itself once a matching
// device is plugged in; one installed on a device needs nothing more. After a failure only the
// restart is left to say, and only where the installer itself counted the failure: a crash ends
// the process with an exception code such as 0xC0000005, whose top bits read as failure and
// restart but whose count of failed packages is 0.
uint8_t FollowUpsOf(const InstallerExit& exit) {
  if (exit.failed) {
    return exit.needsRestart && exit.failedPackages > 0 ? FOLLOW_UP_RESTART : FOLLOW_UP_NONE;
  }
  uint8_t followUps = FOLLOW_UP_NONE;
  if (exit.needsRestart) followUps |= FOLLOW_UP_RESTART;
  if (exit.installedPackages == 0 && exit.storedPackages > 0) followUps |= FOLLOW_UP_PLUG_IN;
  return followUps;
}
