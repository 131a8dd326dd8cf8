#include "win_app.h"

namespace {

CWinApp* gApp = nullptr;
char gModuleName[MAX_PATH];

// The executable's file name without folder and extension, as the default application name.
const char* ModuleBaseName() {
  DWORD length = GetModuleFileNameA(nullptr, gModuleName, sizeof gModuleName);
  if (length == 0 || length >= sizeof gModuleName) return "";
  // Character by character: in a double-byte code page a second byte may be 0x5C.
  char* name = gModuleName;
  for (char* c = gModuleName; *c; c = CharNextA(c)) {
    if (*c == '\\' || *c == '/' || *c == ':') name = c + 1;
  }
  for (char* dot = name + lstrlenA(name); dot > name; --dot) {
    if (*dot == '.') {
      *dot = '\0';
      break;
    }
  }
  return name;
}

}  // namespace

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName) { gApp = this; }

CWinApp::~CWinApp() {
  if (gApp == this) gApp = nullptr;
}

int CWinApp::Run() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return ExitInstance();
}

// The program ships no help file, so there is nothing for Help to open.
void CWinApp::OnHelp() {}

// Every 32-bit Windows already draws its controls in three dimensions.
BOOL CWinApp::Enable3dControlsStatic() { return FALSE; }

CWinApp* AfxGetApp() { return gApp; }
CWnd* AfxGetMainWnd() { return gApp ? gApp->m_pMainWnd : nullptr; }
HINSTANCE AfxGetInstanceHandle() { return gApp ? gApp->m_hInstance : GetModuleHandleA(nullptr); }

// Our dialog templates hold no ActiveX controls, so there is nothing to prepare for hosting.
void AfxEnableControlContainer() {}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  CWinApp* app = AfxGetApp();
  if (!app) return 1;
  app->m_hInstance = instance;
  if (!app->m_pszAppName) app->m_pszAppName = ModuleBaseName();
  if (!app->InitInstance()) return app->ExitInstance();
  return app->Run();
}
