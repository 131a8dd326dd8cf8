// The About box, opened from the installer dialog's system menu.
#ifndef QB7_UI_ABOUT_DIALOG_H
#define QB7_UI_ABOUT_DIALOG_H

#include "dialog.h"

class AboutDialog : public CDialog {
 public:
  AboutDialog();
};

#endif
