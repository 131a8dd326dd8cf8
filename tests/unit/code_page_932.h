// The lead bytes of code page 932 (Japanese), where many two-byte characters end in the byte of
// "\" (0x5C): 表 is 95 5C, ソ is 83 5C, 能 is 94 5C.
#ifndef QB7_TESTS_UNIT_CODE_PAGE_932_H
#define QB7_TESTS_UNIT_CODE_PAGE_932_H

#include "install/command_line.h"

inline LeadBytes CodePage932() {
  LeadBytes leadBytes = {};
  for (int byte = 0x81; byte <= 0xFC; ++byte) {
    leadBytes.lead[byte] = byte <= 0x9F || byte >= 0xE0;
  }
  return leadBytes;
}

#endif
