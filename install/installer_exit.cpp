#include "installer_exit.h"

InstallerExit DecodeInstallerExit(uint32_t exitCode) {
  InstallerExit exit;
  exit.failed = (exitCode & 0x80000000u) != 0;
  exit.needsRestart = (exitCode & 0x40000000u) != 0;
  exit.failedPackages = static_cast<uint8_t>(exitCode >> 16);
  exit.storedPackages = static_cast<uint8_t>(exitCode >> 8);
  exit.installedPackages = static_cast<uint8_t>(exitCode);
  return exit;
}

// A package that only reached the driver store is installed by Windows itself once a matching
// device is plugged in; one installed on a device needs nothing more.
uint8_t FollowUpsOf(const InstallerExit& exit) {
  if (exit.failed) return FOLLOW_UP_NONE;
  uint8_t followUps = FOLLOW_UP_NONE;
  if (exit.needsRestart) followUps |= FOLLOW_UP_RESTART;
  if (exit.installedPackages == 0 && exit.storedPackages > 0) followUps |= FOLLOW_UP_PLUG_IN;
  return followUps;
}
