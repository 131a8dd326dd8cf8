// Message maps: static tables from a message, or a command id and notification code, to a
// handler member. Each class's table chains to its base class's table; lookups walk the chain.
//
//   class MyDialog : public CDialog { ... DECLARE_MESSAGE_MAP() };
//   BEGIN_MESSAGE_MAP(MyDialog, CDialog)
//     ON_BN_CLICKED(IDC_GO, &MyDialog::OnGoClicked)
//   END_MESSAGE_MAP()
#ifndef QB7_FRAMEWORK_CMD_TARGET_H
#define QB7_FRAMEWORK_CMD_TARGET_H

#include <windows.h>

class CCmdTarget;
class CWnd;

// Handlers of every signature are stored as this type and cast back by their signature tag.
typedef void (CCmdTarget::*AFX_PMSG)();

enum AfxSig {
  AfxSig_end,  // the entry that ends a table
  AfxSig_v,    // void Handler()
  AfxSig_hc,   // HCURSOR Handler()
  AfxSig_vwl,  // void Handler(UINT, LPARAM)
};

struct AFX_MSGMAP_ENTRY {
  UINT message;
  UINT code;    // notification code, for WM_COMMAND
  UINT id;      // first command id, for WM_COMMAND
  UINT lastId;  // last command id of the range
  AfxSig sig;
  AFX_PMSG handler;
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*base)();
  const AFX_MSGMAP_ENTRY* entries;
};

class CCmdTarget {
 public:
  virtual ~CCmdTarget() {}

  // Called to route a command; true when a handler in this object's tables took it.
  virtual bool OnCmdMsg(UINT id, UINT code);

  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const { return GetThisMessageMap(); }

 protected:
  const AFX_MSGMAP_ENTRY* FindEntry(UINT message, UINT code, UINT id) const;
};

// clang-format off
#define DECLARE_MESSAGE_MAP()                                  \
 public:                                                       \
  static const AFX_MSGMAP* GetThisMessageMap();                \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                      \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                                 \
    using ThisClass [[maybe_unused]] = theClass;                                    \
    using TheBaseClass = baseClass;                                                 \
    static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                           \
      {0, 0, 0, 0, AfxSig_end, nullptr}};                                           \
    static const AFX_MSGMAP map = {&TheBaseClass::GetThisMessageMap, entries};      \
    return &map;                                                                    \
  }

#define AFX_HANDLER(type, fn) reinterpret_cast<AFX_PMSG>(static_cast<type>(fn))

#define ON_COMMAND(id, fn) \
  {WM_COMMAND, 0, (id), (id), AfxSig_v, AFX_HANDLER(void (CCmdTarget::*)(), fn)},
#define ON_BN_CLICKED(id, fn) \
  {WM_COMMAND, BN_CLICKED, (id), (id), AfxSig_v, AFX_HANDLER(void (CCmdTarget::*)(), fn)},
#define ON_WM_PAINT() \
  {WM_PAINT, 0, 0, 0, AfxSig_v, AFX_HANDLER(void (CWnd::*)(), &ThisClass::OnPaint)},
#define ON_WM_QUERYDRAGICON() \
  {WM_QUERYDRAGICON, 0, 0, 0, AfxSig_hc, \
   AFX_HANDLER(HCURSOR (CWnd::*)(), &ThisClass::OnQueryDragIcon)},
#define ON_WM_SYSCOMMAND() \
  {WM_SYSCOMMAND, 0, 0, 0, AfxSig_vwl, \
   AFX_HANDLER(void (CWnd::*)(UINT, LPARAM), &ThisClass::OnSysCommand)},
// clang-format on

#endif
