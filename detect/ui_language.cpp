#include "ui_language.h"

namespace {

const uint16_t kPrimaryChinese = 0x04;

struct SpokenLanguage {
  uint16_t block;
  unsigned codePage;
};

const SpokenLanguage kSpokenLanguages[] = {
    {kLanguageGerman, 1252},
    {kLanguageFrench, 1252},
    {kLanguageSpanish, 1252},
    {kLanguagePortugueseBrazil, 1252},
    {kLanguageRussian, 1251},
    {kLanguageJapanese, 932},
    {kLanguageChineseSimplified, 936},
    {kLanguageChineseTraditional, 950},
    {kLanguageKorean, 949},
};

uint16_t PrimaryLanguage(uint16_t language) { return language & 0x3FF; }

// Taiwan, Hong Kong and Macao write Traditional Chinese (and so does the neutral zh-Hant);
// China, Singapore and the neutral zh-Hans write Simplified.
uint16_t ChineseBlock(uint16_t language) {
  switch (language >> 10) {
    case 0x01:  // SUBLANG_CHINESE_TRADITIONAL (Taiwan)
    case 0x03:  // SUBLANG_CHINESE_HONGKONG
    case 0x05:  // SUBLANG_CHINESE_MACAU
    case 0x1F:  // zh-Hant
      return kLanguageChineseTraditional;
  }
  return kLanguageChineseSimplified;
}

// Every other variety of a language (Swiss German, Canadian French, Mexican Spanish, European
// Portuguese) reads the one block of its primary language.
uint16_t BlockFor(uint16_t language) {
  if (PrimaryLanguage(language) == kPrimaryChinese) return ChineseBlock(language);
  for (const SpokenLanguage& spoken : kSpokenLanguages) {
    if (PrimaryLanguage(spoken.block) == PrimaryLanguage(language)) return spoken.block;
  }
  return kLanguageEnglish;
}

}  // namespace

// The program speaks ANSI: every text reaches the screen through the system's ANSI code page, so
// a language that code page cannot write would reach the user as question marks (Japanese on code
// page 1252). Such a user reads English instead, which every code page writes.
uint16_t ChooseUiLanguage(uint16_t userLanguage, unsigned ansiCodePage) {
  uint16_t block = BlockFor(userLanguage);
  for (const SpokenLanguage& spoken : kSpokenLanguages) {
    if (spoken.block == block && spoken.codePage == ansiCodePage) return block;
  }
  return kLanguageEnglish;
}
