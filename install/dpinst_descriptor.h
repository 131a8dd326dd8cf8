// What the driver package installer's descriptor, dpinst.xml, has it install besides the INFs of
// its own folder. No Windows header.
#ifndef QB7_INSTALL_DPINST_DESCRIPTOR_H
#define QB7_INSTALL_DPINST_DESCRIPTOR_H

#include <cstddef>

enum DescriptorEntry {
  DESCRIPTOR_SUBFOLDER,  // <search><subDirectory>: a folder searched with every folder below it
  DESCRIPTOR_PACKAGE,    // <group><package path=...>: one INF
};

// A path the descriptor gives, relative to the installer's folder; longer ones are passed over.
const size_t kDescriptorPathSize = 128;

typedef void (*DescriptorEntryFn)(DescriptorEntry entry, const char* path, void* context);

// Calls `found` for each subDirectory text and package path in the `size` bytes of XML at
// `text`, outside comments, without the blanks around it.
void ReadDescriptor(const char* text, size_t size, DescriptorEntryFn found, void* context);

#endif
