// The framework's dispatch, seen from dialogs of its own inside this process: a handler that
// asks for default processing and then shows a modal box keeps its request, whatever the
// messages its window handles while the box shows ask for themselves; and OnInitDialog's answer
// reaches the platform, which sets the focus itself only when asked to. And the resources it
// finds in the chosen language, English where that language has none.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "dialog.h"
#include "resource.h"
#include "resources.h"

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

// Puts the focus on Cancel itself and so returns FALSE; notes where the focus is once it shows.
class CancelFocusingDialog : public CDialog {
 public:
  CancelFocusingDialog() : CDialog(IDD_INSTALLER) {}

  HWND cancel = nullptr;
  HWND focusWhenShown = nullptr;
  bool cancelClicked = false;

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    cancel = GetDlgItem(m_hWnd, IDC_CLOSE);
    SetFocus(cancel);
    // A button's notice that it has the focus is no click.
    PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_CLOSE, BN_SETFOCUS),
                 reinterpret_cast<LPARAM>(cancel));
    // Taken by the modal loop, which runs once the dialog shows.
    PostMessageA(m_hWnd, WM_COMMAND, kRecordAndEnd, 0);
    return FALSE;
  }

  void OnRecordAndEnd() {
    if (IsWindowVisible(m_hWnd)) focusWhenShown = GetFocus();
    EndDialog(IDOK);
  }

  void OnCancelClicked() { cancelClicked = true; }

  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CancelFocusingDialog, CDialog)
  ON_COMMAND(kRecordAndEnd, &CancelFocusingDialog::OnRecordAndEnd)
  ON_BN_CLICKED(IDC_CLOSE, &CancelFocusingDialog::OnCancelClicked)
END_MESSAGE_MAP()

// Told TRUE, the platform would move the focus to the first tab stop, Install.
TEST(FrameworkDispatch, FocusSetInOnInitDialogReturningFalseStays) {
  CancelFocusingDialog dialog;
  ASSERT_EQ(dialog.DoModal(), IDOK);
  ASSERT_NE(dialog.cancel, nullptr);
  EXPECT_EQ(dialog.focusWhenShown, dialog.cancel) << "Cancel lost the focus it was given";
  EXPECT_FALSE(dialog.cancelClicked) << "a focus notification was taken for a click";
}

std::string StringIn(LANGID language, UINT id, int size = 512) {
  AfxSetResourceLanguage(language);
  std::string text(size, 'x');
  text.resize(AfxLoadString(id, &text[0], size));
  return text;
}

const DLGTEMPLATE* TemplateIn(LANGID language, UINT id) {
  AfxSetResourceLanguage(language);
  return AfxFindDialogTemplate(id);
}

// Italian (0x0410) has no block: everything comes from the English one. German has its own.
TEST(FrameworkResources, TakesTheChosenLanguageAndEnglishForWhatItLacks) {
  const LANGID kEnglish = 0x0409, kGerman = 0x0407, kItalian = 0x0410;
  EXPECT_EQ(StringIn(kItalian, IDS_INSTALL_OK), StringIn(kEnglish, IDS_INSTALL_OK));
  EXPECT_NE(StringIn(kGerman, IDS_INSTALL_OK), StringIn(kEnglish, IDS_INSTALL_OK));
  EXPECT_EQ(StringIn(kGerman, IDS_PROBLEM_MEANING + 1), "") << "a string no block has";
  EXPECT_EQ(StringIn(kEnglish, IDS_INSTALL_OK, 5), "Inst") << "cut short to its buffer";
  EXPECT_EQ(TemplateIn(kItalian, IDD_ABOUT), TemplateIn(kEnglish, IDD_ABOUT));
  EXPECT_NE(TemplateIn(kGerman, IDD_ABOUT), TemplateIn(kEnglish, IDD_ABOUT));
  EXPECT_NE(TemplateIn(kEnglish, IDD_ABOUT), nullptr);
  AfxSetResourceLanguage(kEnglish);
}

}  // namespace
