// The framework's dispatch, seen from a dialog of its own inside this process: a handler that
// asks for default processing and then shows a modal box keeps its request, whatever the
// messages its window handles while the box shows ask for themselves.
#include <windows.h>
#include <gtest/gtest.h>

#include "dialog.h"
#include "resource.h"

namespace {

const UINT kRecordAndEnd = 0x7F00;

// Ends itself as soon as it shows.
class PassingBox : public CDialog {
 public:
  explicit PassingBox(CWnd* owner) : CDialog(IDD_INSTALLER, owner) {}

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    PostMessageA(m_hWnd, WM_COMMAND, IDOK, 0);
    return TRUE;
  }
};

// Lets itself be minimised, and says so in a box before the platform does it.
class MinimisingDialog : public CDialog {
 public:
  MinimisingDialog() : CDialog(IDD_INSTALLER) {}

  bool minimised = false;

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    PostMessageA(m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    return TRUE;
  }

  void OnSysCommand(UINT id, LPARAM lParam) {
    CDialog::OnSysCommand(id, lParam);
    if ((id & 0xFFF0) != SC_MINIMIZE) return;
    PassingBox box(this);
    box.DoModal();
    // Comes after whatever the platform does with the command once this handler returns.
    PostMessageA(m_hWnd, WM_COMMAND, kRecordAndEnd, 0);
  }

  void OnRecordAndEnd() {
    minimised = IsIconic(m_hWnd) != FALSE;
    EndDialog(IDOK);
  }

  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(MinimisingDialog, CDialog)
  ON_WM_SYSCOMMAND()
  ON_COMMAND(kRecordAndEnd, &MinimisingDialog::OnRecordAndEnd)
END_MESSAGE_MAP()

TEST(FrameworkDispatch, DefaultProcessingAskedForBeforeAModalBoxStillHappens) {
  MinimisingDialog dialog;
  ASSERT_EQ(dialog.DoModal(), IDOK);
  EXPECT_TRUE(dialog.minimised) << "the platform never got the minimise the handler let through";
}

}  // namespace
