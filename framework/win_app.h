// The application object and the process entry that drives it.
//
// The program defines exactly one static object of a class derived from CWinApp. The process
// entry calls its InitInstance; when that reports failure, as a dialog-based program does on
// purpose once its dialog has ended, ExitInstance gives the exit code and no message loop runs.
#ifndef QB7_FRAMEWORK_WIN_APP_H
#define QB7_FRAMEWORK_WIN_APP_H

#include <windows.h>

#include "cmd_target.h"

class CWnd;

// The framework's standard Help command.
const UINT ID_HELP = 0xE146;

class CWinApp : public CCmdTarget {
 public:
  // With no name, the application takes its name from the executable's.
  explicit CWinApp(const char* appName = nullptr);
  ~CWinApp() override;

  // Called once by the process entry; false ends the process without a message loop.
  virtual BOOL InitInstance() { return TRUE; }
  // Called when the application ends; its result is the process exit code.
  virtual int ExitInstance() { return 0; }
  // Called when InitInstance succeeded: the main message loop.
  virtual int Run();

  // Called for the Help command.
  void OnHelp();
  // Asks for the three-dimensional look of standard controls; false when it had nothing to do.
  BOOL Enable3dControlsStatic();

  // Dialogs constructed without a parent are owned by this window.
  CWnd* m_pMainWnd = nullptr;
  const char* m_pszAppName;
  HINSTANCE m_hInstance = nullptr;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();

// Hosting ActiveX controls in dialogs, for programs whose templates contain them.
void AfxEnableControlContainer();

#endif
