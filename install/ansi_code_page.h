// The system's ANSI code page, as the pure scans of paths and command lines need it.
#ifndef QB7_INSTALL_ANSI_CODE_PAGE_H
#define QB7_INSTALL_ANSI_CODE_PAGE_H

#include "command_line.h"

// The lead bytes of the code page that the "A" functions use for paths and command lines.
const LeadBytes& AnsiLeadBytes();

#endif
