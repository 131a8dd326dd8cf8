#include "install/command_line.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(SplitCommandLine, SeparatesProgramFromParameters) {
  const struct {
    const char* line;
    const char* program;
    const char* parameters;
  } cases[] = {
      {"setup.exe", "setup.exe", ""},
      {"setup.exe now", "setup.exe", " now"},
      {"setup.exe  now", "setup.exe", "  now"},
      {"setup.exe ", "setup.exe", " "},
      {"", "", ""},
      // A colon ends the program only after a space past index 4.
      {"abc C:\\x.exe", "abc C:\\x.exe", ""},
      {"abcd C:\\x.exe", "abcd C:\\x.exe", ""},
      {"abcde C:\\x.exe", "abcde", " C:\\x.exe"},
      {"abcdef C:\\x.exe", "abcdef", " C:\\x.exe"},
      // A backslash after a space, before anything that ends the program, keeps it in the path.
      {"prog.exe x\\y", "prog.exe x\\y", ""},
      {"C:\\Program Files\\x.exe", "C:\\Program Files\\x.exe", ""},
      {"a /b", "a", " /b"},
      {"prog.exe /a /b", "prog.exe", " /a /b"},
      {"D:\\My Files\\Driver\\Vista_32\\DPInst32.exe /lm /sw /sa",
       "D:\\My Files\\Driver\\Vista_32\\DPInst32.exe", " /lm /sw /sa"},
      {"C:\\Program Files\\Drv\\Driver\\Vista_64\\DPInst64.exe /lm /sw /sa",
       "C:\\Program Files\\Drv\\Driver\\Vista_64\\DPInst64.exe", " /lm /sw /sa"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    char program[kProgramPathSize];
    const char* parameters = nullptr;
    ASSERT_TRUE(SplitCommandLine(c.line, program, sizeof program, &parameters));
    EXPECT_STREQ(c.program, program);
    EXPECT_STREQ(c.parameters, parameters);
    // The parameters are used in place, not copied.
    EXPECT_EQ(c.line + strlen(c.program), parameters);
  }
}

TEST(SplitCommandLine, RefusesAProgramPartThatDoesNotFit) {
  const char line[] = "setup.exe now";  // program part of 9 characters
  char program[16];
  const char* parameters = nullptr;
  EXPECT_TRUE(SplitCommandLine(line, program, 10, &parameters));
  EXPECT_STREQ("setup.exe", program);

  memset(program, '#', sizeof program);
  parameters = nullptr;
  EXPECT_FALSE(SplitCommandLine(line, program, 9, &parameters));
  // Nothing is cut short into the buffer.
  for (size_t i = 0; i < sizeof program; ++i) ASSERT_EQ('#', program[i]) << "byte " << i;
}

TEST(ImageNameOf, TakesTheFileNamePieceWithoutQuotes) {
  const struct {
    const char* program;
    const char* imageName;
  } cases[] = {
      {"DPInst64.exe", "DPInst64.exe"},
      {"C:\\a\\b\\DPInst64.exe", "DPInst64.exe"},
      {"\"C:\\x y\\DPInst64.exe\"", "DPInst64.exe"},
      {"\"DPInst64.exe\"", "DPInst64.exe"},
      {"D:\\My Files\\Driver\\Vista_32\\DPInst32.exe", "DPInst32.exe"},
      {"C:x.exe", "x.exe"},
      // The first character is never looked at, but the second one is.
      {"\\x.exe", "\\x.exe"},
      {":x.exe", ":x.exe"},
      {"a\\x.exe", "x.exe"},
      {"C:\\dir\\", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.program);
    char imageName[kImageNameSize];
    ASSERT_TRUE(ImageNameOf(c.program, imageName, sizeof imageName));
    EXPECT_STREQ(c.imageName, imageName);
  }
}

TEST(ImageNameOf, RefusesABufferTooSmall) {
  char imageName[16];
  // "DPInst64.exe" has 12 characters and needs 13 bytes; the quotes take none.
  EXPECT_TRUE(ImageNameOf("C:\\a\\DPInst64.exe", imageName, 13));
  EXPECT_STREQ("DPInst64.exe", imageName);
  EXPECT_TRUE(ImageNameOf("\"C:\\a\\DPInst64.exe\"", imageName, 13));
  EXPECT_STREQ("DPInst64.exe", imageName);
  EXPECT_FALSE(ImageNameOf("C:\\a\\DPInst64.exe", imageName, 12));
  EXPECT_FALSE(ImageNameOf("DPInst64.exe", imageName, 0));
  EXPECT_FALSE(ImageNameOf("", imageName, 0));
}

TEST(EqualsIgnoringAsciiCase, IgnoresOnlyTheCaseOfAsciiLetters) {
  const struct {
    const char* first;
    const char* second;
    bool equal;
  } cases[] = {
      {"dpinst64.EXE", "DPInst64.exe", true},
      {"DPInst64.exe", "DPInst64.exe", true},
      {"", "", true},
      {"DPInst64.exe", "DPInst64.ex", false},
      {"DPInst64.exe", "DPInst64.exe ", false},
      {"DPInst64.exe", "", false},
      {"DPInst32.exe", "DPInst64.exe", false},
      // Bytes that differ by the letter-case bit but are not letters stay different.
      {"@", "`", false},
      {"[", "{", false},
      {"^", "~", false},
      // Bytes outside ASCII are compared exactly: Latin-1 upper and lower A with diaeresis.
      {"\xC4.exe", "\xE4.exe", false},
      {"\xC4.exe", "\xC4.exe", true},
      {"\xC4.EXE", "\xC4.exe", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.first << "\" vs \"" << c.second << '"');
    EXPECT_EQ(c.equal, EqualsIgnoringAsciiCase(c.first, c.second));
    EXPECT_EQ(c.equal, EqualsIgnoringAsciiCase(c.second, c.first));
  }
}

}  // namespace
