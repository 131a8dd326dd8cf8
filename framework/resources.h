// The program's dialog templates and strings in the language it speaks, which the program
// chooses once at start-up. The platform's loader would choose by its own rules, which differ
// between Windows versions (2000 and XP go by the thread locale, Vista and later by the UI
// language) and never look at the code page, so the framework finds each resource itself; what
// the chosen language lacks comes from the English (US) resources.
//
//   AfxSetResourceLanguage(0x0407);
//   char text[256];
//   AfxLoadString(IDS_STATUS_CAPTION, text, sizeof text);
#ifndef QB7_FRAMEWORK_RESOURCES_H
#define QB7_FRAMEWORK_RESOURCES_H

#include <windows.h>

void AfxSetResourceLanguage(LANGID language);
LANGID AfxGetResourceLanguage();

// The dialog template `id`; null when neither language has it.
const DLGTEMPLATE* AfxFindDialogTemplate(UINT id);

// Copies string `id`, in the ANSI code page, into `buffer` (cut short to fit; always ended);
// returns its length in bytes, 0 when neither language has the string.
int AfxLoadString(UINT id, char* buffer, int size);

#endif
