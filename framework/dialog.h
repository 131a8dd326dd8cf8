// A modal dialog made from a dialog template in the program's resources.
//
// DoModal runs the dialog's own message loop: every message first goes to PreTranslateMessage,
// whose default gives the dialog its keyboard navigation. OnInitDialog runs before the dialog is
// shown; a dialog it does not move is then centred over its owner (or the screen). OnOK and
// OnCancel end the dialog; handlers reach them through the IDOK and IDCANCEL commands.
#ifndef QB7_FRAMEWORK_DIALOG_H
#define QB7_FRAMEWORK_DIALOG_H

#include <windows.h>

#include "wnd.h"

// Carries the direction of a data exchange between the dialog's controls and its fields.
struct CDataExchange {
  bool saveAndValidate;
};

class CDialog : public CWnd {
 public:
  // With no parent, the running application's main window becomes the owner.
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);

  // Returns the value given to EndDialog, or -1 when the dialog could not be created.
  INT_PTR DoModal();
  void EndDialog(int result);

  // Called for the fields bound to controls; true when the exchange succeeded.
  bool UpdateData(bool saveAndValidate = true);

 protected:
  virtual void DoDataExchange(CDataExchange*) {}
  // Called for every message the modal loop takes; true means "handled, do not dispatch".
  virtual BOOL PreTranslateMessage(MSG* msg);
  // Called on WM_INITDIALOG, before the dialog is shown; true lets the platform set the focus.
  virtual BOOL OnInitDialog();
  // Called for IDOK: exchanges data from the controls, then ends the dialog with IDOK.
  virtual void OnOK();
  // Called for IDCANCEL (also Escape and the close box): ends the dialog with IDCANCEL.
  virtual void OnCancel();

  DECLARE_MESSAGE_MAP()

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  BOOL HandleInitDialog();
  HWND ChooseOwner() const;
  void RunModalLoop();

  UINT m_templateId;
  CWnd* m_parent;
  bool m_inModalLoop = false;
  int m_modalResult = -1;
};

#endif
