#include "installer_dialog.h"

#include "../detect/system_probe.h"
#include "../install/install_procedure.h"
#include "about_dialog.h"
#include "install_notice.h"
#include "resource.h"
#include "resources.h"
#include "win_app.h"

BEGIN_MESSAGE_MAP(InstallerDialog, CDialog)
  ON_WM_SYSCOMMAND()
  ON_WM_PAINT()
  ON_WM_QUERYDRAGICON()
  ON_BN_CLICKED(IDC_CLOSE, &InstallerDialog::OnCloseClicked)
  ON_BN_CLICKED(IDC_INSTALL, &InstallerDialog::OnInstallClicked)
END_MESSAGE_MAP()

namespace {

int LabelFor(SystemProbe probe) {
  bool is32 = probe.bitness == 32;
  if (IsXpFamily(probe.osClass)) return is32 ? IDC_LABEL_XP32 : IDC_LABEL_XP64;
  if (IsVistaFamily(probe.osClass)) return is32 ? IDC_LABEL_VISTA32 : IDC_LABEL_VISTA64;
  return 0;
}

}  // namespace

// The platform owns icons loaded from resources, so the handle is never released.
InstallerDialog::InstallerDialog()
    : CDialog(IDD_INSTALLER),
      m_hIcon(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_APP))) {}

// A press on the background itself, not on a control, is turned into a press on a caption the
// dialog does not have, which lets the platform drag the window.
BOOL InstallerDialog::PreTranslateMessage(MSG* msg) {
  CWnd* main = AfxGetMainWnd();
  if (main && msg->hwnd == main->GetSafeHwnd() && msg->message == WM_LBUTTONDOWN) {
    POINT cursor = msg->pt;
    PostMessageA(m_hWnd, WM_NCLBUTTONDOWN, HTCAPTION,
                 MAKELPARAM(static_cast<WORD>(cursor.x), static_cast<WORD>(cursor.y)));
  }
  return CDialog::PreTranslateMessage(msg);
}

BOOL InstallerDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  AddAboutMenuEntry();
  SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  MarkDetectedSystem();
  return TRUE;
}

void InstallerDialog::AddAboutMenuEntry() {
  HMENU menu = GetSystemMenu(m_hWnd, FALSE);
  if (!menu) return;
  char text[64];
  if (AfxLoadString(IDS_ABOUT_MENU, text, sizeof text) <= 0) return;
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, IDM_ABOUT, text);
}

void InstallerDialog::MarkDetectedSystem() {
  SystemProbe probe = DetectSystem();
  if (Is9xFamily(probe.osClass)) {
    EnableWindow(GetDlgItem(m_hWnd, IDC_INSTALL), FALSE);
    return;
  }
  int label = LabelFor(probe);
  if (label) EnableWindow(GetDlgItem(m_hWnd, label), TRUE);
}

// Closing always ends the dialog as OK would: there is nothing to undo.
void InstallerDialog::OnCancel() { CDialog::OnOK(); }

void InstallerDialog::OnCloseClicked() { OnCancel(); }

void InstallerDialog::OnSysCommand(UINT id, LPARAM lParam) {
  if ((id & 0xFFF0) == IDM_ABOUT) {
    AboutDialog about;
    about.DoModal();
    return;
  }
  CDialog::OnSysCommand(id, lParam);
}

void InstallerDialog::OnPaint() {
  if (!IsIconic(m_hWnd)) {
    CDialog::OnPaint();
    return;
  }
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(m_hWnd, &paint);
  SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(m_hWnd, &client);
  int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, m_hIcon);
  EndPaint(m_hWnd, &paint);
}

HCURSOR InstallerDialog::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(m_hIcon); }

// The dialog stays on screen, unresponsive, until the installer has finished. Clicks made on it
// meanwhile wait in the queue and arrive while the notice shows: they must not install again.
void InstallerDialog::OnInstallClicked() {
  if (m_installStarted) return;
  m_installStarted = true;
  InstallReport report = RunInstall();
  ShowInstallNotice(m_hWnd, report);
  CDialog::OnOK();
}
