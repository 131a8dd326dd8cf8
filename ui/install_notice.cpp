#include "install_notice.h"

#include "resource.h"

namespace {

UINT MessageFor(InstallOutcome outcome) {
  switch (outcome) {
    case INSTALL_FINISHED: return IDS_INSTALL_OK;
    case INSTALL_UNSUPPORTED: return IDS_FAIL_UNSUPPORTED;
    case INSTALL_PATH_TOO_LONG: return IDS_FAIL_PATH_TOO_LONG;
    case INSTALL_FOLDER_MISSING: return IDS_FAIL_FOLDER_MISSING;
    case INSTALL_NOT_STARTED: return IDS_FAIL_NOT_STARTED;
    case INSTALL_FAILED: return IDS_FAIL_INSTALLER_FAILED;
    case INSTALL_PACKAGE_MISSING: return IDS_FAIL_PACKAGE_MISSING;
  }
  return IDS_FAIL_NOT_STARTED;
}

// Puts the report's subject in place of the "%s" of the message, within `size` bytes.
void Compose(const char* format, const char* subject, char* text, size_t size) {
  size_t length = 0;
  for (const char* c = format; *c && length + 1 < size; ++c) {
    if (c[0] == '%' && c[1] == 's') {
      for (const char* s = subject; *s && length + 1 < size; ++s) text[length++] = *s;
      ++c;
    } else {
      text[length++] = *c;
    }
  }
  text[length] = '\0';
}

}  // namespace

void ShowInstallNotice(HWND owner, const InstallReport& report) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  char caption[64];
  char format[256];
  char text[sizeof format + sizeof report.subject];
  LoadStringA(instance, IDS_STATUS_CAPTION, caption, sizeof caption);
  LoadStringA(instance, MessageFor(report.outcome), format, sizeof format);
  Compose(format, report.subject, text, sizeof text);
  UINT icon = report.outcome == INSTALL_FINISHED ? 0 : MB_ICONERROR;
  MessageBoxA(owner, text, caption, MB_OK | icon);
}
