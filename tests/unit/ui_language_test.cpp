#include "detect/ui_language.h"

#include <gtest/gtest.h>

namespace {

// Each language's own locale, and one with the wrong code page, are GUI rows
// (tests/gui/language_test.cpp); these are the varieties and scripts around them.
TEST(ChooseUiLanguage, MatchesThePrimaryLanguageAndChineseByRegion) {
  const struct {
    uint16_t userLanguage;
    unsigned codePage;
    uint16_t shown;
  } kRows[] = {
      {0x0807, 1252, kLanguageGerman},
      {0x0C0C, 1252, kLanguageFrench},
      {0x080A, 1252, kLanguageSpanish},
      {0x040A, 1252, kLanguageSpanish},
      {0x0816, 1252, kLanguagePortugueseBrazil},
      {0x1004, 936, kLanguageChineseSimplified},
      {0x0C04, 950, kLanguageChineseTraditional},
      {0x1404, 950, kLanguageChineseTraditional},
      {0x0804, 950, kLanguageEnglish},
      {0x0404, 936, kLanguageEnglish},
      {0x0410, 1252, kLanguageEnglish},
      {0x0412, 932, kLanguageEnglish},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(testing::Message()
                 << std::hex << row.userLanguage << " on " << std::dec << row.codePage);
    EXPECT_EQ(row.shown, ChooseUiLanguage(row.userLanguage, row.codePage));
  }
}

}  // namespace
