#include "dialog.h"

#include "resources.h"
#include "win_app.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
  ON_COMMAND(IDOK, &CDialog::OnOK)
  ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

namespace {

// The platform takes these messages' results from the dialog procedure's return value; for
// every other message the procedure only says "handled" and the result goes in DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
  return (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) ||
         message == WM_QUERYDRAGICON || message == WM_COMPAREITEM || message == WM_VKEYTOITEM ||
         message == WM_CHARTOITEM;
}

}  // namespace

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_parent(parent) {}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    CDialog* dialog = reinterpret_cast<CDialog*>(lParam);
    SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    dialog->m_hWnd = hwnd;
    return dialog->HandleInitDialog();
  }
  CDialog* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  LRESULT result;
  if (!dialog || !dialog->OnWndMsg(message, wParam, lParam, &result)) return FALSE;
  if (ReturnsResultDirectly(message)) return result;
  SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
  return TRUE;
}

BOOL CDialog::HandleInitDialog() {
  RECT before;
  GetWindowRect(m_hWnd, &before);
  BOOL result = OnInitDialog();
  RECT after;
  GetWindowRect(m_hWnd, &after);
  if (before.left == after.left && before.top == after.top)
    CenterWindow(GetWindow(m_hWnd, GW_OWNER));
  return result;
}

HWND CDialog::ChooseOwner() const {
  if (m_parent) return m_parent->GetSafeHwnd();
  CWnd* main = AfxGetMainWnd();
  return main && main != this ? main->GetSafeHwnd() : nullptr;
}

INT_PTR CDialog::DoModal() {
  const DLGTEMPLATE* dialogTemplate = AfxFindDialogTemplate(m_templateId);
  if (!dialogTemplate) return -1;
  HWND owner = ChooseOwner();
  m_modalResult = -1;
  m_inModalLoop = true;
  HWND hwnd = CreateDialogIndirectParamA(AfxGetInstanceHandle(), dialogTemplate, owner, DialogProc,
                                         reinterpret_cast<LPARAM>(this));
  if (!hwnd) return -1;
  bool disabledOwner = owner && IsWindowEnabled(owner);
  if (disabledOwner) EnableWindow(owner, FALSE);
  if (m_inModalLoop) {
    ShowWindow(hwnd, SW_SHOWNORMAL);
    RunModalLoop();
  }
  // Give activation back before the dialog goes, so that it does not pass to another program.
  if (disabledOwner) EnableWindow(owner, TRUE);
  if (owner && GetActiveWindow() == hwnd) SetActiveWindow(owner);
  DestroyWindow(hwnd);
  m_hWnd = nullptr;
  return m_modalResult;
}

void CDialog::RunModalLoop() {
  MSG msg;
  while (m_inModalLoop) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got == -1) break;
    if (!PreTranslateMessage(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

void CDialog::EndDialog(int result) {
  m_modalResult = result;
  m_inModalLoop = false;
  // Wakes the modal loop, which may be waiting for a message.
  if (m_hWnd) PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

bool CDialog::UpdateData(bool saveAndValidate) {
  CDataExchange exchange = {saveAndValidate};
  DoDataExchange(&exchange);
  return true;
}

BOOL CDialog::PreTranslateMessage(MSG* msg) { return IsDialogMessageA(m_hWnd, msg); }

BOOL CDialog::OnInitDialog() {
  UpdateData(false);
  return TRUE;
}

void CDialog::OnOK() {
  if (UpdateData(true)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }
