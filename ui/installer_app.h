// The application object: runs the installer dialog and ends the process when it closes.
#ifndef QB7_UI_INSTALLER_APP_H
#define QB7_UI_INSTALLER_APP_H

#include "win_app.h"

class InstallerApp : public CWinApp {
 public:
  // Called once at start-up; runs the installer dialog and reports false so the process ends.
  BOOL InitInstance() override;

  DECLARE_MESSAGE_MAP()
};

#endif
