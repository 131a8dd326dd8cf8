#include "resources.h"

#include "win_app.h"

namespace {

const LANGID kFallbackLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
LANGID gResourceLanguage = kFallbackLanguage;

struct ResourceData {
  const void* data;
  DWORD size;
};

ResourceData FindInLanguage(LPCSTR type, LPCSTR name, LANGID language) {
  HMODULE module = AfxGetInstanceHandle();
  HRSRC found = FindResourceExA(module, type, name, language);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  return {data, data ? SizeofResource(module, found) : 0};
}

// A string table holds 16 strings, each a count of UTF-16 units and that many units; string `id`
// is entry id % 16 of table id / 16 + 1. An empty entry is a string the table does not have.
bool FindString(UINT id, LANGID language, const WCHAR** text, int* length) {
  ResourceData table = FindInLanguage(RT_STRING, MAKEINTRESOURCEA(id / 16 + 1), language);
  const WCHAR* entry = static_cast<const WCHAR*>(table.data);
  const WCHAR* end = entry + table.size / sizeof(WCHAR);
  for (UINT skipped = 0; entry && entry < end; entry += 1 + *entry, ++skipped) {
    if (skipped < id % 16) continue;
    if (*entry == 0 || entry + 1 + *entry > end) return false;
    *text = entry + 1;
    *length = *entry;
    return true;
  }
  return false;
}

}  // namespace

void AfxSetResourceLanguage(LANGID language) { gResourceLanguage = language; }
LANGID AfxGetResourceLanguage() { return gResourceLanguage; }

const DLGTEMPLATE* AfxFindDialogTemplate(UINT id) {
  ResourceData found = FindInLanguage(RT_DIALOG, MAKEINTRESOURCEA(id), gResourceLanguage);
  if (!found.data) found = FindInLanguage(RT_DIALOG, MAKEINTRESOURCEA(id), kFallbackLanguage);
  return static_cast<const DLGTEMPLATE*>(found.data);
}

// A text cut short loses whole characters, never the second byte of a double-byte one.
int AfxLoadString(UINT id, char* buffer, int size) {
  if (size <= 0) return 0;
  buffer[0] = '\0';
  const WCHAR* text;
  int length;
  if (!FindString(id, gResourceLanguage, &text, &length) &&
      !FindString(id, kFallbackLanguage, &text, &length)) {
    return 0;
  }
  while (length > 0 &&
         WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr) >= size) {
    --length;
  }
  int written = WideCharToMultiByte(CP_ACP, 0, text, length, buffer, size - 1, nullptr, nullptr);
  buffer[written] = '\0';
  return written;
}
