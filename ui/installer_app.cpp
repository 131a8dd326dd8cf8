#include "installer_app.h"

#include "../install/system_library.h"
#include "installer_dialog.h"

BEGIN_MESSAGE_MAP(InstallerApp, CWinApp)
  ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

InstallerApp gInstallerApp;

namespace {

typedef BOOL(WINAPI* SetDllDirectoryFn)(LPCSTR);
typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);

// The program runs from download folders and from media anyone could have written to, and its
// current directory becomes a driver folder: a DLL planted there or beside the program must not
// be loaded in place of the system's. Systems without these calls keep their own search order.
void KeepDllSearchToTheSystem() {
  auto setDllDirectory = KernelFunction<SetDllDirectoryFn>("SetDllDirectoryA");
  if (setDllDirectory) setDllDirectory("");
  auto setDefaultDllDirectories =
      KernelFunction<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories");
  if (setDefaultDllDirectories) setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

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
