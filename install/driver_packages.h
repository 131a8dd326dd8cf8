// The driver packages the driver package installer installs from its folder, as it finds them.
#ifndef QB7_INSTALL_DRIVER_PACKAGES_H
#define QB7_INSTALL_DRIVER_PACKAGES_H

// At most this many INFs are taken, from at most this many folder levels below a subfolder the
// descriptor names.
const unsigned kMaxDriverPackages = 64;
const unsigned kMaxSubfolderDepth = 8;

typedef void (*DriverPackageFn)(const char* infPath, void* context);

struct PackageCount {
  unsigned found;
  // Every package the installer finds was found: no bound was reached, and the descriptor named
  // nothing this program cannot follow as the installer does.
  bool complete;
};

// Calls `visit` with the full path of each INF: those of `folder`, those of the folders its
// dpinst.xml has searched (each with the folders below it) and those it names as packages, as
// long as they lie in the folder that holds `folder`. A null `visit` only counts them.
PackageCount ForEachDriverPackage(const char* folder, DriverPackageFn visit, void* context);

#endif
