#include "ansi_code_page.h"

#include <windows.h>

LeadBytes AnsiLeadBytes() {
  LeadBytes leadBytes;
  for (int byte = 0; byte < 256; ++byte) {
    leadBytes.lead[byte] = IsDBCSLeadByte(static_cast<BYTE>(byte)) != FALSE;
  }
  return leadBytes;
}
