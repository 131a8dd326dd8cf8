#include "detect/ui_language.h"

#include <gtest/gtest.h>

namespace {

TEST(ChooseUiLanguage, TakesTheUsersLanguageOnlyWhereTheCodePageWritesIt) {
  const struct {
    uint16_t userLanguage;
    unsigned codePage;
    uint16_t shown;
  } kRows[] = {
      {0x0409, 1252, kLanguageEnglish},
      {0x0407, 1252, kLanguageGerman},
      // Other varieties read their primary language's block: Swiss German, Canadian French,
      // Mexican Spanish (and the traditional sort), European Portuguese.
      {0x0807, 1252, kLanguageGerman},
      {0x0C0C, 1252, kLanguageFrench},
      {0x080A, 1252, kLanguageSpanish},
      {0x040A, 1252, kLanguageSpanish},
      {0x0816, 1252, kLanguagePortugueseBrazil},
      {0x0419, 1251, kLanguageRussian},
      {0x0411, 932, kLanguageJapanese},
      {0x0412, 949, kLanguageKorean},
      // Chinese by region: China and Singapore Simplified; Taiwan, Hong Kong, Macao Traditional.
      {0x0804, 936, kLanguageChineseSimplified},
      {0x1004, 936, kLanguageChineseSimplified},
      {0x0404, 950, kLanguageChineseTraditional},
      {0x0C04, 950, kLanguageChineseTraditional},
      {0x1404, 950, kLanguageChineseTraditional},
      // A code page that cannot write the language gets English.
      {0x0411, 1252, kLanguageEnglish},
      {0x0407, 1251, kLanguageEnglish},
      {0x0419, 1252, kLanguageEnglish},
      {0x0804, 950, kLanguageEnglish},
      {0x0404, 936, kLanguageEnglish},
      {0x0412, 932, kLanguageEnglish},
      // A language without a block of its own: Italian, Polish.
      {0x0410, 1252, kLanguageEnglish},
      {0x0415, 1250, kLanguageEnglish},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(testing::Message()
                 << std::hex << row.userLanguage << " on " << std::dec << row.codePage);
    EXPECT_EQ(row.shown, ChooseUiLanguage(row.userLanguage, row.codePage));
  }
}

}  // namespace
