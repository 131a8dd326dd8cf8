#include "installer_exit.h"

InstallerExit DecodeInstallerExit(uint32_t exitCode) {
  InstallerExit exit;
  exit.failedPackages = static_cast<uint8_t>(exitCode >> 16);
  exit.storedPackages = static_cast<uint8_t>(exitCode >> 8);
  exit.installedPackages = static_cast<uint8_t>(exitCode);
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
