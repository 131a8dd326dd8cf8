#include "install/command_line.h"

#include <gtest/gtest.h>

#include <cstring>

#include "code_page_932.h"

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
    ASSERT_TRUE(
        SplitCommandLine(c.line, kSingleByteCodePage, program, sizeof program, &parameters));
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
  EXPECT_TRUE(SplitCommandLine(line, kSingleByteCodePage, program, 10, &parameters));
  EXPECT_STREQ("setup.exe", program);

  memset(program, '#', sizeof program);
  parameters = nullptr;
  EXPECT_FALSE(SplitCommandLine(line, kSingleByteCodePage, program, 9, &parameters));
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
    ASSERT_TRUE(ImageNameOf(c.program, kSingleByteCodePage, imageName, sizeof imageName));
    EXPECT_STREQ(c.imageName, imageName);
  }
}

TEST(ImageNameOf, RefusesABufferTooSmall) {
  char imageName[16];
  // "DPInst64.exe" has 12 characters and needs 13 bytes; the quotes take none.
  EXPECT_TRUE(ImageNameOf("C:\\a\\DPInst64.exe", kSingleByteCodePage, imageName, 13));
  EXPECT_STREQ("DPInst64.exe", imageName);
  EXPECT_TRUE(ImageNameOf("\"C:\\a\\DPInst64.exe\"", kSingleByteCodePage, imageName, 13));
  EXPECT_STREQ("DPInst64.exe", imageName);
  EXPECT_FALSE(ImageNameOf("C:\\a\\DPInst64.exe", kSingleByteCodePage, imageName, 12));
  EXPECT_FALSE(ImageNameOf("DPInst64.exe", kSingleByteCodePage, imageName, 0));
  EXPECT_FALSE(ImageNameOf("", kSingleByteCodePage, imageName, 0));
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
    EXPECT_EQ(c.equal, EqualsIgnoringAsciiCase(c.first, c.second, kSingleByteCodePage));
    EXPECT_EQ(c.equal, EqualsIgnoringAsciiCase(c.second, c.first, kSingleByteCodePage));
  }
}

// In code page 932 a two-byte character may end in 0x5C or in a letter's byte: only whole
// characters are backslashes, separators or letters. 表 is 95 5C, ア is 83 41, ャ is 83 61.
TEST(DoubleByteCodePage, SecondBytesAreNeverSeparatorsOrLetters) {
  const LeadBytes cp932 = CodePage932();
  char program[kProgramPathSize];
  const char* parameters = nullptr;
  ASSERT_TRUE(
      SplitCommandLine("prog.exe \x95\x5C /a", cp932, program, sizeof program, &parameters));
  EXPECT_STREQ("prog.exe", program);
  EXPECT_STREQ(" \x95\x5C /a", parameters);
  ASSERT_TRUE(SplitCommandLine("D:\\\x95\x5C y\\DPInst32.exe /lm", cp932, program, sizeof program,
                               &parameters));
  EXPECT_STREQ("D:\\\x95\x5C y\\DPInst32.exe", program);

  char imageName[kImageNameSize];
  ASSERT_TRUE(ImageNameOf("C:\\a\\x\x95\x5Cy.exe", cp932, imageName, sizeof imageName));
  EXPECT_STREQ("x\x95\x5Cy.exe", imageName);
  ASSERT_TRUE(ImageNameOf("C:\\\x95\x5C\\x.exe", cp932, imageName, sizeof imageName));
  EXPECT_STREQ("x.exe", imageName);

  EXPECT_FALSE(EqualsIgnoringAsciiCase("\x83\x41.exe", "\x83\x61.exe", cp932));
  EXPECT_TRUE(EqualsIgnoringAsciiCase("\x83\x41.EXE", "\x83\x41.exe", cp932));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("\x83", "\x83\x41", cp932));
  // The same bytes in a single-byte code page are two characters each.
  EXPECT_TRUE(EqualsIgnoringAsciiCase("\x83\x41.exe", "\x83\x61.exe", kSingleByteCodePage));
}

TEST(BareProgramName, IsTheFirstWordWhenItHasNoFolder) {
  const struct {
    const char* line;
    const char* name;  // null when the line names a folder
  } cases[] = {
      {"rundll32.exe setupapi.dll,InstallHinfSection AX88772.Ndi 132 C:\\x\\Ax88772.inf",
       "rundll32.exe"},
      {"rundll32.exe", "rundll32.exe"},
      {"C:\\Windows\\rundll32.exe x", nullptr},
      {".\\rundll32.exe x", nullptr},
      {"sub/rundll32.exe x", nullptr},
      {"C:rundll32.exe x", nullptr},
      {"\"rundll32.exe\" x", nullptr},
      {" rundll32.exe", nullptr},
      {"", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    char name[kProgramPathSize] = "";
    EXPECT_EQ(c.name != nullptr, BareProgramName(c.line, name, sizeof name));
    if (c.name) {
      EXPECT_STREQ(c.name, name);
    }
  }
  char small[12];
  EXPECT_FALSE(BareProgramName("rundll32.exe x", small, sizeof small));
}

}  // namespace
