// The driver packages the driver package installer installs from its folder, as it finds them.
#ifndef QB7_INSTALL_DRIVER_PACKAGES_H
#define QB7_INSTALL_DRIVER_PACKAGES_H

// At most this many INFs are taken, from at most this many folder levels below a subfolder the
// descriptor names, and at most this much of the descriptor is read.
const unsigned kMaxDriverPackages = 64;
const unsigned kMaxSubfolderDepth = 8;
const unsigned long kMaxDescriptorBytes = 64 * 1024;

typedef void (*DriverPackageFn)(const char* infPath, void* context);

// Calls `visit` with the full path of each INF: those of `folder`, those of the folders its
// dpinst.xml has searched (each with the folders below it) and those it names as packages. A
// missing or unreadable dpinst.xml leaves the folder alone. Returns how many there were; a null
// `visit` only counts them.
unsigned ForEachDriverPackage(const char* folder, DriverPackageFn visit, void* context);

#endif
