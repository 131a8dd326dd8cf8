// Reads the shipped program's version block back through the platform's version API.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wine_host.h"

namespace {

class VersionBlock : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string exe = gui_driver::ToWindowsPath(QB7_PRODUCT_EXE);
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
    ASSERT_NE(size, 0u) << exe;
    data.resize(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, data.data()));
  }

  // Null when the key is absent.
  const char* Value(const char* key) {
    std::string path = std::string("\\StringFileInfo\\040904B0\\") + key;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), path.c_str(), &value, &length)) return nullptr;
    return length ? static_cast<const char*>(value) : "";
  }

  std::vector<char> data;
};

TEST_F(VersionBlock, HasEveryStringWithItsValue) {
  const struct {
    const char* key;
    const char* value;
  } kStrings[] = {
      {"CompanyName", ""},
      {"FileDescription", "QB7_LX450 MFC Application"},
      {"FileVersion", "1, 0, 0, 1"},
      {"InternalName", "QB7_LX450"},
      {"LegalCopyright", "(C) 2026 the QB7_LX450 team"},
      {"LegalTrademarks", ""},
      {"OriginalFilename", "QB7_LX450.EXE"},
      {"ProductName", "QB7_LX450 Application"},
      {"ProductVersion", "1, 0, 0, 1"},
  };
  for (const auto& expected : kStrings) {
    const char* value = Value(expected.key);
    ASSERT_NE(value, nullptr) << expected.key << " is missing";
    EXPECT_STREQ(value, expected.value) << expected.key;
  }
}

TEST_F(VersionBlock, FixedPartSaysVersion1001ForAWindowsApplication) {
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
  EXPECT_EQ(fixed->dwFileFlags, 0u);
  EXPECT_EQ(fixed->dwFileOS, 0x4u);
  EXPECT_EQ(fixed->dwFileType, 0x1u);
  EXPECT_EQ(fixed->dwFileSubtype, 0u);
  EXPECT_EQ(fixed->dwFileDateMS | fixed->dwFileDateLS, 0u);
}

TEST_F(VersionBlock, TranslationIsUsEnglishUnicode) {
  WORD* translation = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_GE(length, 4u);
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 0x04B0);
}

}  // namespace
