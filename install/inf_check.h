// Asking the setup library, before rundll32 hands it the INF, whether it can use the INF at all:
// rundll32 reports nothing, so an INF it rejects would otherwise end as if it had installed.
#ifndef QB7_INSTALL_INF_CHECK_H
#define QB7_INSTALL_INF_CHECK_H

#include "install_plan.h"

enum InfCheck {
  INF_USABLE,       // it reads the INF, which has one of the plan's install sections
  INF_UNREADABLE,   // it cannot read the INF
  INF_NO_SECTION,   // it reads the INF, which has none of them
  INF_NOT_CHECKED,  // the setup library or its functions cannot be had here
};

// Asks about the plan's INF and install sections. `errorLine` gets the line the setup library
// names for an unreadable INF, or 0.
InfCheck CheckInf(const InstallPlan& plan, unsigned* errorLine);

#endif
