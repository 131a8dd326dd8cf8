#include "installer_app.h"

#include "../detect/ui_language.h"
#include "../install/system_library.h"
#include "installer_dialog.h"
#include "resources.h"

BEGIN_MESSAGE_MAP(InstallerApp, CWinApp)
  ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

InstallerApp gInstallerApp;

namespace {

typedef LANGID(WINAPI* GetUserDefaultUILanguageFn)();

// The language the user reads Windows in: 2000 and later have a UI language of their own;
// before, the user's locale is all there is.
LANGID UserInterfaceLanguage() {
  auto uiLanguage = LateFunctionOf<GetUserDefaultUILanguageFn>(GET_USER_DEFAULT_UI_LANGUAGE);
  return uiLanguage ? uiLanguage() : GetUserDefaultLangID();
}

}  // namespace

BOOL InstallerApp::InitInstance() {
  KeepDllSearchToTheSystem();
  AfxSetResourceLanguage(ChooseUiLanguage(UserInterfaceLanguage(), GetACP()));
  AfxEnableControlContainer();
  Enable3dControlsStatic();

  InstallerDialog dialog;
  m_pMainWnd = &dialog;
  dialog.DoModal();
  m_pMainWnd = nullptr;
  // The dialog was the whole program: no message loop of our own follows it.
  return FALSE;
}
