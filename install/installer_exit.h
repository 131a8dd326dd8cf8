// What the driver package installer's exit code says. No Windows header.
#ifndef QB7_INSTALL_INSTALLER_EXIT_H
#define QB7_INSTALL_INSTALLER_EXIT_H

#include <cstdint>

// The exit code has the form 0xWWXXYYZZ: in WW, 0x80 says that a package failed and 0x40 that
// Windows must restart; XX counts the packages that failed, YY those copied to the driver store
// but not installed on a device (none was plugged in), ZZ those installed on a device.
struct InstallerExit {
  bool failed;
  // The counts add up to more packages than the installer could find: the code is no bitfield
  // but an error of its own, and says nothing of restarts or packages.
  bool uncountable;
  bool needsRestart;
  uint8_t failedPackages;
  uint8_t storedPackages;
  uint8_t installedPackages;
};

// No limit on the packages the installer could find.
const unsigned kAnyPackageCount = 3 * 255;

// The exit code of an installer that could find `packagesFound` driver packages.
InstallerExit DecodeInstallerExit(uint32_t exitCode, unsigned packagesFound = kAnyPackageCount);

// What the user still has to do after the installer has ended.
enum FollowUp : uint8_t {
  FOLLOW_UP_NONE = 0,
  FOLLOW_UP_RESTART = 1,  // restart Windows
  FOLLOW_UP_PLUG_IN = 2,  // plug in the adapter: the driver waits in the driver store
};

// FOLLOW_UP_* flags; after a failure at most the restart.
uint8_t FollowUpsOf(const InstallerExit& exit);

#endif
