#include "install/adapter_state.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

const WindowsVersion kVista = {6, 0, 6002, 1, 0x0100};
const WindowsVersion kServer2008R2 = {6, 1, 7601, 3, 0x0110};
const WindowsVersion kWindows11 = {10, 0, 22631, 1, 0x0100};

TEST(ModelsDecorationApplies, TakesTheProcessorAndTheOldestVersionServed) {
  const struct {
    const char* decoration;
    const char* platform;
    const WindowsVersion& version;
    bool applies;
  } kRows[] = {
      {"NT", "x86", kVista, true},
      {"ntAMD64", "amd64", kVista, true},
      {"NTamd64", "x86", kVista, false},
      {"NTx86", "amd64", kVista, false},
      {"NTarm64", "amd64", kWindows11, false},
      {"NTamd", "amd64", kVista, false},
      {"NTamd64.6.1", "amd64", kVista, false},
      {"NTamd64.6.1", "amd64", kServer2008R2, true},
      {"NTamd64.6.0", "amd64", kWindows11, true},
      {"NT.5", "x86", kVista, true},
      {"NTamd64.10.0...22000", "amd64", kWindows11, true},
      {"NTamd64.10.0...22632", "amd64", kWindows11, false},
      {"NTamd64.6.1.3", "amd64", kServer2008R2, true},
      {"NTamd64.6.1.1", "amd64", kServer2008R2, false},
      {"NTamd64.6.0..0x00000110", "amd64", kServer2008R2, true},
      {"NTamd64.6.0..0x00000110", "amd64", kVista, false},
      {"NTamd64.6.x", "amd64", kVista, false},
      {"Windows", "x86", kVista, false},
      {"", "x86", kVista, false},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(testing::Message() << row.decoration << " on " << row.platform);
    EXPECT_EQ(row.applies, ModelsDecorationApplies(row.decoration, row.platform, row.version));
  }
}

struct ModelsCase {
  const char* decorations;
  uint32_t major, minor, build;
  uint8_t productType;
  uint16_t suiteMask;
  const char* platform;
  const char* chosen;
};

const ModelsCase kModelsCases[] = {
#define MODELS_CASE(...) {__VA_ARGS__},
#include "../models_sections.def"
#undef MODELS_CASE
};

TEST(ChooseModelsDecoration, TakesTheOneSectionTheSetupLibraryTakes) {
  for (const ModelsCase& row : kModelsCases) {
    SCOPED_TRACE(testing::Message() << row.decorations << " on " << row.platform << " " << row.major
                                    << "." << row.minor << "." << row.build);
    std::vector<std::string> names;
    std::stringstream list(row.decorations);
    for (std::string name; std::getline(list >> std::ws, name, ',');) names.push_back(name);
    std::vector<const char*> decorations;
    for (const std::string& name : names) decorations.push_back(name.c_str());
    WindowsVersion version = {row.major, row.minor, row.build, row.productType, row.suiteMask};
    int chosen =
        ChooseModelsDecoration(decorations.data(), decorations.size(), row.platform, version);
    std::string section = chosen == kNoModels            ? ""
                          : chosen == kUndecoratedModels ? "Models"
                                                         : "Models." + names[chosen];
    EXPECT_EQ(row.chosen, section);
  }
}

TEST(ServesAnyOf, MatchesAnyIdOfTheDeviceIgnoringCase) {
  HardwareIdList ids;
  ClearHardwareIds(&ids);
  AddHardwareId(&ids, "USB\\VID_0B95&PID_7720");
  AddHardwareId(&ids, "USB\\Class_FF");
  const char kSecondMatches[] = "USB\\VID_0B95&PID_7720&REV_0001\0usb\\vid_0b95&pid_7720\0";
  const char kNoneMatches[] = "USB\\VID_0B95&PID_77200\0USB\\VID_0B95\0";
  const char kUnterminated[] = {'U', 'S', 'B', '\\', 'C', 'l', 'a', 's', 's', '_', 'F', 'F'};
  EXPECT_TRUE(ServesAnyOf(ids, kSecondMatches, sizeof kSecondMatches));
  EXPECT_FALSE(ServesAnyOf(ids, kNoneMatches, sizeof kNoneMatches));
  EXPECT_FALSE(ServesAnyOf(ids, kUnterminated, sizeof kUnterminated));
}

TEST(HardwareIdList, SaysWhenAnIdDidNotFit) {
  HardwareIdList ids;
  ClearHardwareIds(&ids);
  char id[201] = {};
  memset(id, 'A', 200);
  while (!ids.overflowed) AddHardwareId(&ids, id);
  EXPECT_EQ(kHardwareIdPoolSize / 201, ids.count);
  EXPECT_LE(ids.used, kHardwareIdPoolSize);
}

TEST(MoreUrgent, SpeaksForTheDeviceThatNeedsAttentionMost) {
  const AdapterReport kInOrder[] = {
      {ADAPTER_ABSENT, 0}, {ADAPTER_READY, 0}, {ADAPTER_SETTING_UP, 0}, {ADAPTER_PROBLEM, 28}};
  for (const AdapterReport& lower : kInOrder) {
    for (const AdapterReport& higher : kInOrder) {
      if (&higher <= &lower) continue;
      EXPECT_EQ(higher.state, MoreUrgent(lower, higher).state);
      EXPECT_EQ(higher.state, MoreUrgent(higher, lower).state);
    }
  }
}

}  // namespace
