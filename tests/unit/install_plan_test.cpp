#include "install/install_plan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "code_page_932.h"

namespace {

const char kXpCommandHead[] = "rundll32.exe setupapi.dll,InstallHinfSection AX88772.Ndi 132 ";

SystemProbe Probe(uint8_t osClass, uint8_t bitness, uint32_t processorType = 0) {
  SystemProbe probe = {osClass, bitness, processorType};
  return probe;
}

// A base directory of exactly `length` characters: a drive and one long folder name.
std::string BaseOfLength(size_t length) { return "C:\\" + std::string(length - 3, 'a'); }

TEST(TrimTrailingBackslash, RemovesOneTrailingBackslashOnly) {
  const LeadBytes cp932 = CodePage932();
  const struct {
    const LeadBytes* codePage;
    const char* given;
    const char* expected;
  } cases[] = {
      {&kSingleByteCodePage, "E:\\", "E:"},
      {&kSingleByteCodePage, "C:\\Setup\\", "C:\\Setup"},
      {&kSingleByteCodePage, "C:\\Setup", "C:\\Setup"},
      {&kSingleByteCodePage, "E:\\\\", "E:\\"},
      {&kSingleByteCodePage, "\\", ""},
      {&kSingleByteCodePage, "", ""},
      {&kSingleByteCodePage, "C:\\My Files\\", "C:\\My Files"},
      // A folder named 表 (95 5C) ends in the byte of a backslash but in no backslash.
      {&cp932, "C:\\\x95\x5C", "C:\\\x95\x5C"},
      {&cp932, "C:\\\x95\x5C\\", "C:\\\x95\x5C"},
      {&cp932, "E:\\", "E:"},
      {&kSingleByteCodePage, "C:\\\x95\x5C", "C:\\\x95"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.given);
    char directory[kDirectorySize];
    strcpy(directory, c.given);
    TrimTrailingBackslash(directory, *c.codePage);
    EXPECT_STREQ(c.expected, directory);
  }
}

// The command the plan table gives for a driver directory: rundll32 on the INF road, otherwise
// the named driver package installer.
std::string ExpectedCommand(const std::string& directory, const char* installer) {
  if (!installer) return kXpCommandHead + directory + "\\Ax88772.inf";
  return directory + "\\" + installer + " /lm /sw /sa";
}

TEST(BuildInstallPlan, FollowsThePlanTableForEveryFamilyAndBitness) {
  const struct {
    uint8_t osClass;
    uint8_t bitness;
    const char* subdirectory;
    const char* installer;  // null on the INF road
    LaunchMode mode;
  } cases[] = {
      {OS_NT4, 64, "\\Driver\\WinXP_64", nullptr, DIRECT},
      {OS_WIN2000, 64, "\\Driver\\WinXP_64", nullptr, DIRECT},
      {OS_WINXP, 64, "\\Driver\\WinXP_64", nullptr, DIRECT},
      {OS_NT4, 32, "\\Driver\\Win2000_WinXP", nullptr, DIRECT},
      {OS_WIN2000, 32, "\\Driver\\Win2000_WinXP", nullptr, DIRECT},
      {OS_WINXP, 32, "\\Driver\\Win2000_WinXP", nullptr, DIRECT},
      // A probe that did not run has bitness 0, which is "not 64".
      {OS_NT4, 0, "\\Driver\\Win2000_WinXP", nullptr, DIRECT},
      {OS_WIN2000, 0, "\\Driver\\Win2000_WinXP", nullptr, DIRECT},
      {OS_WINXP, 0, "\\Driver\\Win2000_WinXP", nullptr, DIRECT},
      {OS_VISTA, 64, "\\Driver\\Vista_64", "DPInst64.exe", ELEVATED},
      {OS_VISTA, 32, "\\Driver\\Vista_32", "DPInst32.exe", ELEVATED},
      {OS_VISTA, 0, "\\Driver\\Vista_32", "DPInst32.exe", ELEVATED},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "class " << int(c.osClass) << ", bitness " << int(c.bitness));
    InstallPlan plan;
    ASSERT_EQ(PLAN_READY, BuildInstallPlan(Probe(c.osClass, c.bitness), "C:\\Setup", &plan));
    std::string directory = std::string("C:\\Setup") + c.subdirectory;
    EXPECT_STREQ(c.subdirectory, plan.subdirectory);
    EXPECT_EQ(directory, plan.driverDirectory);
    EXPECT_EQ(ExpectedCommand(directory, c.installer), plan.commandLine);
    EXPECT_EQ(c.mode, plan.mode);
  }
}

TEST(BuildInstallPlan, NoPlanOutsideThe2000XpAndVistaFamilies) {
  const uint8_t classes[] = {OS_UNRECOGNISED, OS_WIN95, OS_WIN98, OS_WINME, 8, 255};
  const uint8_t bitnesses[] = {64, 32, 0};
  for (uint8_t osClass : classes) {
    for (uint8_t bitness : bitnesses) {
      SCOPED_TRACE(testing::Message() << "class " << int(osClass) << ", bitness " << int(bitness));
      InstallPlan plan;
      EXPECT_EQ(PLAN_UNSUPPORTED, BuildInstallPlan(Probe(osClass, bitness), "C:\\Setup", &plan));
    }
  }
}

TEST(BuildInstallPlan, DriveRootGivesASingleBackslash) {
  char base[kDirectorySize] = "E:\\";
  TrimTrailingBackslash(base, kSingleByteCodePage);
  InstallPlan plan;
  ASSERT_EQ(PLAN_READY, BuildInstallPlan(Probe(OS_VISTA, 64), base, &plan));
  EXPECT_STREQ("E:\\Driver\\Vista_64", plan.driverDirectory);
  EXPECT_STREQ("E:\\Driver\\Vista_64\\DPInst64.exe /lm /sw /sa", plan.commandLine);
  EXPECT_EQ(ELEVATED, plan.mode);
}

// The INF road names the file it cannot do without, so a half-copied folder is caught before
// rundll32 ends quietly, and the INF and the install sections the setup library is asked about
// first, decorated for the native processor as rundll32's setup library decorates them; the
// installer programs of the Vista road are checked by starting them.
TEST(BuildInstallPlan, NamesThePackageFileAndInfOnlyOnTheInfRoad) {
  const struct {
    uint8_t osClass;
    uint8_t bitness;
    uint32_t processorType;
    const char* packageFile;
    const char* infPath;
    const char* decoratedSection;
  } kRows[] = {
      {OS_NT4, 32, 586, "Ax88772.inf", "C:\\Setup\\Driver\\Win2000_WinXP\\Ax88772.inf",
       "AX88772.Ndi.NTx86"},
      {OS_WIN2000, 64, 8664, "Ax88772.inf", "C:\\Setup\\Driver\\WinXP_64\\Ax88772.inf",
       "AX88772.Ndi.NTamd64"},
      {OS_WIN2000, 64, 2200, "Ax88772.inf", "C:\\Setup\\Driver\\WinXP_64\\Ax88772.inf",
       "AX88772.Ndi.NTia64"},
      {OS_WINXP, 32, 0, "Ax88772.inf", "C:\\Setup\\Driver\\Win2000_WinXP\\Ax88772.inf",
       "AX88772.Ndi.NTx86"},
      {OS_VISTA, 32, 586, nullptr, "", ""},
      {OS_VISTA, 64, 8664, nullptr, "", ""},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(testing::Message() << int(row.osClass) << ", processor " << row.processorType);
    InstallPlan plan;
    ASSERT_EQ(PLAN_READY, BuildInstallPlan(Probe(row.osClass, row.bitness, row.processorType),
                                           "C:\\Setup", &plan));
    EXPECT_STREQ(row.infPath, plan.infPath);
    EXPECT_STREQ(row.decoratedSection, plan.infSections[0]);
    if (row.packageFile) {
      EXPECT_STREQ(row.packageFile, plan.packageFile);
      EXPECT_STREQ("AX88772.Ndi.NT", plan.infSections[1]);
      EXPECT_STREQ("AX88772.Ndi", plan.infSections[2]);
    } else {
      EXPECT_EQ(nullptr, plan.packageFile);
      EXPECT_STREQ("", plan.infSections[1]);
      EXPECT_STREQ("", plan.infSections[2]);
    }
  }
}

TEST(BuildInstallPlan, BaseWithSpacesStaysUnquoted) {
  InstallPlan plan;
  ASSERT_EQ(PLAN_READY, BuildInstallPlan(Probe(OS_WINXP, 32), "D:\\My Files", &plan));
  EXPECT_STREQ("rundll32.exe setupapi.dll,InstallHinfSection AX88772.Ndi 132 "
               "D:\\My Files\\Driver\\Win2000_WinXP\\Ax88772.inf",
               plan.commandLine);
  ASSERT_EQ(PLAN_READY, BuildInstallPlan(Probe(OS_VISTA, 32), "D:\\My Files", &plan));
  EXPECT_STREQ("D:\\My Files\\Driver\\Vista_32\\DPInst32.exe /lm /sw /sa", plan.commandLine);
}

// The longest base directory the install procedure can read (129 characters) fits every row.
TEST(BuildInstallPlan, LongestReadableBaseFitsEveryRow) {
  const std::string base = BaseOfLength(kBaseDirectoryCapacity - 1);
  const struct {
    uint8_t osClass;
    uint8_t bitness;
    const char* commandTail;
  } cases[] = {
      {OS_WINXP, 32, "\\Driver\\Win2000_WinXP\\Ax88772.inf"},
      {OS_WINXP, 64, "\\Driver\\WinXP_64\\Ax88772.inf"},
      {OS_VISTA, 32, "\\Driver\\Vista_32\\DPInst32.exe /lm /sw /sa"},
      {OS_VISTA, 64, "\\Driver\\Vista_64\\DPInst64.exe /lm /sw /sa"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.commandTail);
    InstallPlan plan;
    ASSERT_EQ(PLAN_READY, BuildInstallPlan(Probe(c.osClass, c.bitness), base.c_str(), &plan));
    const std::string head = c.osClass == OS_WINXP ? kXpCommandHead : "";
    EXPECT_EQ(head + base + c.commandTail, plan.commandLine);
  }
}

// The driver directory (160 bytes) is what limits the base: with the longest directory that
// fits, the command lines are 232 (rundll32) and 184 (DPInst) characters, well within 256,
// so the command buffer can never be the one that overflows.
TEST(BuildInstallPlan, RefusesABaseWhoseDriverDirectoryWouldNotFit) {
  const struct {
    uint8_t osClass;
    uint8_t bitness;
    size_t longestBase;
    size_t commandLength;
  } cases[] = {
      {OS_WINXP, 32, 138, 232},  // "\Driver\Win2000_WinXP" has 21 characters
      {OS_WINXP, 64, 143, 232},  // the other subdirectories have 16
      {OS_VISTA, 32, 143, 184},
      {OS_VISTA, 64, 143, 184},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "class " << int(c.osClass) << ", bitness " << int(c.bitness));
    InstallPlan plan;
    const std::string longest = BaseOfLength(c.longestBase);
    ASSERT_EQ(PLAN_READY, BuildInstallPlan(Probe(c.osClass, c.bitness), longest.c_str(), &plan));
    EXPECT_EQ(kDirectorySize - 1, strlen(plan.driverDirectory));
    EXPECT_EQ(0, strncmp(plan.driverDirectory, longest.c_str(), longest.size()));
    EXPECT_EQ(c.commandLength, strlen(plan.commandLine));

    const std::string tooLong = BaseOfLength(c.longestBase + 1);
    EXPECT_EQ(PLAN_TOO_LONG, BuildInstallPlan(Probe(c.osClass, c.bitness), tooLong.c_str(), &plan));
  }
}

TEST(BuildInstallPlan, RefusesABaseFarBeyondEveryBuffer) {
  const std::string base = BaseOfLength(300);
  InstallPlan plan;
  EXPECT_EQ(PLAN_TOO_LONG, BuildInstallPlan(Probe(OS_VISTA, 64), base.c_str(), &plan));
  EXPECT_EQ(PLAN_TOO_LONG, BuildInstallPlan(Probe(OS_WINXP, 32), base.c_str(), &plan));
}

}  // namespace
