// Asking the setup library, before rundll32 hands it the INF, whether it can use the INF at all:
// rundll32 reports nothing, so an INF it rejects would otherwise end as if it had installed.
#ifndef QB7_INSTALL_INF_CHECK_H
#define QB7_INSTALL_INF_CHECK_H

enum InfCheck {
  INF_USABLE,       // it reads the INF, which has the section
  INF_UNREADABLE,   // it cannot read the INF
  INF_NO_SECTION,   // it reads the INF, which lacks the section
  INF_NOT_CHECKED,  // the setup library or its functions cannot be had here
};

// `errorLine` gets the line the setup library names for an unreadable INF, or 0.
InfCheck CheckInf(const char* infPath, const char* section, unsigned* errorLine);

#endif
