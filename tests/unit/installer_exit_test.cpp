#include "install/installer_exit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "install/dpinst_descriptor.h"

namespace {

TEST(DecodeInstallerExit, ReadsFlagsAndCountsAndWhatIsLeftToDo) {
  const struct {
    uint32_t exitCode;
    bool failed;
    bool needsRestart;
    int failedPackages, storedPackages, installedPackages;
    uint8_t followUps;
    unsigned packagesFound = kAnyPackageCount;
    bool uncountable = false;
  } kRows[] = {
      {0x00000000, false, false, 0, 0, 0, FOLLOW_UP_NONE},
      {0x00000001, false, false, 0, 0, 1, FOLLOW_UP_NONE},
      {0x40000001, false, true, 0, 0, 1, FOLLOW_UP_RESTART},
      // Copied to the driver store, installed on no device: the adapter is not plugged in.
      {0x00000100, false, false, 0, 1, 0, FOLLOW_UP_PLUG_IN},
      {0x00000201, false, false, 0, 2, 1, FOLLOW_UP_NONE},
      {0x40000100, false, true, 0, 1, 0, FOLLOW_UP_RESTART | FOLLOW_UP_PLUG_IN},
      // After a failure only the restart is left to say.
      {0x80010000, true, false, 1, 0, 0, FOLLOW_UP_NONE},
      {0xC0010100, true, true, 1, 1, 0, FOLLOW_UP_RESTART},
      // A package counted as failed is a failure without the flag too.
      {0x00010000, true, false, 1, 0, 0, FOLLOW_UP_NONE},
      {0x00010101, true, false, 1, 1, 1, FOLLOW_UP_NONE},
      {0x40020001, true, true, 2, 0, 1, FOLLOW_UP_RESTART},
      {0x00FFFFFF, true, false, 255, 255, 255, FOLLOW_UP_NONE},
      // A crash's exception code has the top bits set too, but counts no failed package.
      {0xC0000005, true, true, 0, 0, 5, FOLLOW_UP_NONE},
      {0xC0000409, true, true, 0, 4, 9, FOLLOW_UP_NONE},
      // Counts beyond the packages the installer could find are a Windows error code.
      {0x0000065B, true, false, 0, 0, 0, FOLLOW_UP_NONE, 2, true},
      {0x00000101, false, false, 0, 1, 1, FOLLOW_UP_NONE, 2},
      {0x40000102, true, false, 0, 0, 0, FOLLOW_UP_NONE, 2, true},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(testing::Message() << std::hex << row.exitCode);
    InstallerExit exit = DecodeInstallerExit(row.exitCode, row.packagesFound);
    EXPECT_EQ(row.failed, exit.failed);
    EXPECT_EQ(row.uncountable, exit.uncountable);
    EXPECT_EQ(row.needsRestart, exit.needsRestart);
    EXPECT_EQ(row.failedPackages, exit.failedPackages);
    EXPECT_EQ(row.storedPackages, exit.storedPackages);
    EXPECT_EQ(row.installedPackages, exit.installedPackages);
    EXPECT_EQ(row.followUps, FollowUpsOf(exit));
  }
}

const struct DescriptorCase {
  const char* encoding;
  const char* descriptor;
  const char* entries;
} kDescriptorCases[] = {
#define DESCRIPTOR_CASE(...) {__VA_ARGS__},
#include "../dpinst_descriptors.def"
#undef DESCRIPTOR_CASE
};

void AddEntry(DescriptorEntry entry, const char* path, void* context) {
  std::string* entries = static_cast<std::string*>(context);
  *entries += (entries->empty() ? "" : "|") + std::string(entry ? "P:" : "S:") + path;
}

// The installer's count in its exit code is checked against what the program counts.
TEST(ReadDescriptor, FollowsWhatTheInstallerFollowsOrSaysItCannot) {
  for (const DescriptorCase& row : kDescriptorCases) {
    SCOPED_TRACE(testing::Message() << row.encoding << " " << row.descriptor);
    bool big = strcmp(row.encoding, "utf-16-be") == 0;
    bool little = strcmp(row.encoding, "utf-16-le") == 0;
    std::string data = big ? "\xFE\xFF" : little ? "\xFF\xFE" : "";
    if (strcmp(row.encoding, "utf-8-sig") == 0) data = "\xEF\xBB\xBF";
    for (const char* c = row.descriptor; *c; ++c) {
      if (big) data += '\0';
      data += *c;
      if (little) data += '\0';
    }
    std::string entries;
    bool followed = ReadDescriptor(data.data(), data.size(), AddEntry, &entries);
    EXPECT_EQ(row.entries, followed ? entries : "?");
  }
}

}  // namespace
