#include "ansi_code_page.h"

#include <windows.h>

namespace {

LeadBytes ReadAnsiLeadBytes() {
  LeadBytes leadBytes;
  for (int byte = 0; byte < 256; ++byte) {
    leadBytes.lead[byte] = IsDBCSLeadByte(static_cast<BYTE>(byte)) != FALSE;
  }
  return leadBytes;
}

}  // namespace

// The code page stays the same for the life of the process, so the table is read once, not on
// every look at the process list.
const LeadBytes& AnsiLeadBytes() {
  static const LeadBytes leadBytes = ReadAnsiLeadBytes();
  return leadBytes;
}
