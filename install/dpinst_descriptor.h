// What the driver package installer's descriptor, dpinst.xml, has it install besides the INFs of
// its own folder. No Windows header.
#ifndef QB7_INSTALL_DPINST_DESCRIPTOR_H
#define QB7_INSTALL_DPINST_DESCRIPTOR_H

#include <cstddef>

enum DescriptorEntry {
  DESCRIPTOR_SUBFOLDER,  // <search><subDirectory>: a folder searched with every folder below it
  DESCRIPTOR_PACKAGE,    // <group><package path=...>: one INF
};

// A path the descriptor gives, relative to the installer's folder, is shorter than this, and the
// descriptor no longer.
const size_t kDescriptorPathSize = 128;
const size_t kMaxDescriptorBytes = 64 * 1024;

typedef void (*DescriptorEntryFn)(DescriptorEntry entry, const char* path, void* context);

// Calls `found` for each subDirectory text and package path of the descriptor in the `size` bytes
// at `data` (UTF-8, or UTF-16 with its byte order mark), as the installer takes it: its parts
// separated by '\', without "." parts and with ".." parts taken back, so that it goes down from
// the installer's folder or, after one leading "..\", from the folder that holds it. False when
// the descriptor names something the caller cannot follow as the installer would: XML this reader
// does not know, more of it than kMaxDescriptorBytes, or a path that is absolute, leads higher,
// is too long or is not plain ASCII.
bool ReadDescriptor(const char* data, size_t size, DescriptorEntryFn found, void* context);

#endif
