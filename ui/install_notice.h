// The message box that tells the user how the installation went.
#ifndef QB7_UI_INSTALL_NOTICE_H
#define QB7_UI_INSTALL_NOTICE_H

#include <windows.h>

#include "../install/install_procedure.h"

// "Install OK" only when the installer ran and was waited for; otherwise what went wrong.
void ShowInstallNotice(HWND owner, const InstallReport& report);

// The same, shown through `show` in place of MessageBoxA.
typedef int(WINAPI* MessageBoxFn)(HWND, LPCSTR, LPCSTR, UINT);
void ShowInstallNoticeWith(MessageBoxFn show, HWND owner, const InstallReport& report);

#endif
