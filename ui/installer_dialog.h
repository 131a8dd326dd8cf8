// The installer dialog: marks the detected system and offers Install and Cancel. It has no
// caption bar, so it is dragged by its background.
#ifndef QB7_UI_INSTALLER_DIALOG_H
#define QB7_UI_INSTALLER_DIALOG_H

#include "dialog.h"

class InstallerDialog : public CDialog {
 public:
  InstallerDialog();

 protected:
  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnInitDialog() override;
  void OnCancel() override;

  void OnSysCommand(UINT id, LPARAM lParam);
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void OnInstallClicked();
  void OnCloseClicked();

  DECLARE_MESSAGE_MAP()

 private:
  void AddAboutMenuEntry();
  void MarkDetectedSystem();

  HICON m_hIcon;
  bool m_installStarted = false;
};

#endif
