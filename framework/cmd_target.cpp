#include "cmd_target.h"

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, AfxSig_end, nullptr}};
  static const AFX_MSGMAP map = {nullptr, entries};
  return &map;
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindEntry(UINT message, UINT code, UINT id) const {
  for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* entry = map->entries; entry->sig != AfxSig_end; ++entry) {
      if (entry->message != message) continue;
      if (message != WM_COMMAND ||
          (entry->code == code && id >= entry->id && id <= entry->lastId)) {
        return entry;
      }
    }
  }
  return nullptr;
}

bool CCmdTarget::OnCmdMsg(UINT id, UINT code) {
  const AFX_MSGMAP_ENTRY* entry = FindEntry(WM_COMMAND, code, id);
  if (!entry) return false;
  (this->*entry->handler)();
  return true;
}
