#include "installer_app.h"

#include "../install/system_library.h"
#include "installer_dialog.h"

BEGIN_MESSAGE_MAP(InstallerApp, CWinApp)
  ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

InstallerApp gInstallerApp;

BOOL InstallerApp::InitInstance() {
  KeepDllSearchToTheSystem();
  AfxEnableControlContainer();
  Enable3dControlsStatic();

  InstallerDialog dialog;
  m_pMainWnd = &dialog;
  dialog.DoModal();
  m_pMainWnd = nullptr;
  // The dialog was the whole program: no message loop of our own follows it.
  return FALSE;
}
