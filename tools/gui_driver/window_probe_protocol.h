// What the driver and the probe DLL hooked into the program exchange: a named block of shared
// memory the probe fills, and a named event it sets when it has, both named after the request.
#ifndef QB7_GUI_DRIVER_WINDOW_PROBE_PROTOCOL_H
#define QB7_GUI_DRIVER_WINDOW_PROBE_PROTOCOL_H

#include <windows.h>

// The registered message the driver posts to the window to be probed; wParam is the request
// number the names below are made with.
#define QB7_PROBE_MESSAGE "QB7_GUI_DRIVER_WINDOW_PROBE"
#define QB7_PROBE_REPORT_FORMAT "Local\\qb7_window_probe_report_%lu"
#define QB7_PROBE_DONE_FORMAT "Local\\qb7_window_probe_done_%lu"

enum { kProbeMaxMenuItems = 32, kProbeMaxItemText = 128, kProbeMaxControls = 24 };

// Which of the platform's standard icons the window's icon control shows (message boxes).
enum ProbeIcon {
  kProbeIconNone,
  kProbeIconError,
  kProbeIconWarning,
  kProbeIconInformation,
  kProbeIconQuestion,
  kProbeIconOther,
};

struct ProbeMenuItem {
  UINT type;   // MFT_* flags
  UINT state;  // MFS_* flags
  UINT id;
  char text[kProbeMaxItemText];
};

// A control's text measured with the control's own font, against the room the control gives it.
struct ProbeTextFit {
  int id;
  SIZE needed;
  SIZE room;
};

struct ProbeReport {
  BOOL hasSystemMenu;
  int menuItemCount;  // may exceed kProbeMaxMenuItems; only that many are described
  ProbeMenuItem menuItems[kProbeMaxMenuItems];
  BOOL hasBigIcon;
  BOOL hasSmallIcon;
  int shownIcon;     // a ProbeIcon
  int textFitCount;  // at most kProbeMaxControls
  ProbeTextFit textFits[kProbeMaxControls];
};

#endif
