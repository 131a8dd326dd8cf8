// Which of the program's languages the user gets, over plain data. No Windows header: this
// builds and is tested natively as well.
#ifndef QB7_DETECT_UI_LANGUAGE_H
#define QB7_DETECT_UI_LANGUAGE_H

#include <cstdint>

// Windows language ids (primary language in the low 10 bits, sublanguage above) of the
// languages the resource script has a block for.
const uint16_t kLanguageEnglish = 0x0409;
const uint16_t kLanguageGerman = 0x0407;
const uint16_t kLanguageFrench = 0x040C;
const uint16_t kLanguageSpanish = 0x0C0A;
const uint16_t kLanguagePortugueseBrazil = 0x0416;
const uint16_t kLanguageRussian = 0x0419;
const uint16_t kLanguageJapanese = 0x0411;
const uint16_t kLanguageChineseSimplified = 0x0804;
const uint16_t kLanguageChineseTraditional = 0x0404;
const uint16_t kLanguageKorean = 0x0412;

// The block to show a user whose interface language is `userLanguage` on a system whose ANSI
// code page is `ansiCodePage`: the language of the same primary language (Chinese: of the same
// script), where that code page is the language's own; English otherwise.
uint16_t ChooseUiLanguage(uint16_t userLanguage, unsigned ansiCodePage);

#endif
