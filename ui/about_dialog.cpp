#include "about_dialog.h"

#include "resource.h"

AboutDialog::AboutDialog() : CDialog(IDD_ABOUT) {}
