#include "detect/os_class.h"

#include <gtest/gtest.h>

namespace {

const uint32_t kPlatformNone = 0;
const uint32_t kPlatform9x = 1;
const uint32_t kPlatformNt = 2;
const uint8_t kWorkstation = 1;
const uint8_t kDomainController = 2;
const uint8_t kServer = 3;

struct ClassCase {
  const char* name;
  VersionFacts facts;
  OsClass expected;
};

void ExpectClasses(const ClassCase* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(cases[i].expected, ClassifyOs(cases[i].facts));
  }
}

TEST(ClassifyOs, Version4IsTold9xOrNtByItsPlatform) {
  const ClassCase cases[] = {
      {"4.0 on the 9x platform is 95", {4, 0, kPlatform9x, 0}, OS_WIN95},
      {"4.0 on the NT platform is NT 4", {4, 0, kPlatformNt, kWorkstation}, OS_NT4},
      {"4.0 on platform 0 is unrecognised", {4, 0, kPlatformNone, 0}, OS_UNRECOGNISED},
      {"4.0 on platform 3 is unrecognised", {4, 0, 3, 0}, OS_UNRECOGNISED},
      {"4.10 is 98", {4, 10, kPlatform9x, 0}, OS_WIN98},
      {"4.90 is Me", {4, 90, kPlatform9x, 0}, OS_WINME},
      {"4.1 is no known minor", {4, 1, kPlatform9x, 0}, OS_UNRECOGNISED},
      {"4.9 is no known minor", {4, 9, kPlatform9x, 0}, OS_UNRECOGNISED},
      {"4.11 is no known minor", {4, 11, kPlatform9x, 0}, OS_UNRECOGNISED},
  };
  ExpectClasses(cases, sizeof cases / sizeof cases[0]);
}

TEST(ClassifyOs, Version5Takes2000OrXpRoad) {
  const ClassCase cases[] = {
      {"5.0 workstation", {5, 0, kPlatformNt, kWorkstation}, OS_WIN2000},
      {"5.0 server", {5, 0, kPlatformNt, kServer}, OS_WIN2000},
      {"5.0 domain controller", {5, 0, kPlatformNt, kDomainController}, OS_UNRECOGNISED},
      {"5.0 without product type", {5, 0, kPlatformNt, 0}, OS_UNRECOGNISED},
      {"5.1 workstation", {5, 1, kPlatformNt, kWorkstation}, OS_WINXP},
      {"5.2 workstation (XP x64)", {5, 2, kPlatformNt, kWorkstation}, OS_WIN2000},
      {"5.2 domain controller", {5, 2, kPlatformNt, kDomainController}, OS_WIN2000},
      {"5.2 server (2003)", {5, 2, kPlatformNt, kServer}, OS_WIN2000},
      {"5.2 without product type", {5, 2, kPlatformNt, 0}, OS_WIN2000},
      {"5.3 is no known minor", {5, 3, kPlatformNt, kWorkstation}, OS_UNRECOGNISED},
  };
  ExpectClasses(cases, sizeof cases / sizeof cases[0]);
}

TEST(ClassifyOs, EveryVersion6WorkstationOrServerIsVista) {
  const ClassCase cases[] = {
      {"6.0 workstation", {6, 0, kPlatformNt, kWorkstation}, OS_VISTA},
      {"6.0 server", {6, 0, kPlatformNt, kServer}, OS_VISTA},
      {"6.1 workstation", {6, 1, kPlatformNt, kWorkstation}, OS_VISTA},
      {"6.1 server", {6, 1, kPlatformNt, kServer}, OS_VISTA},
      {"6.2 workstation", {6, 2, kPlatformNt, kWorkstation}, OS_VISTA},
      {"6.3 workstation", {6, 3, kPlatformNt, kWorkstation}, OS_VISTA},
      {"6.4 workstation", {6, 4, kPlatformNt, kWorkstation}, OS_VISTA},
      {"6.0 domain controller", {6, 0, kPlatformNt, kDomainController}, OS_UNRECOGNISED},
      {"6.1 domain controller", {6, 1, kPlatformNt, kDomainController}, OS_UNRECOGNISED},
      {"6.1 without product type", {6, 1, kPlatformNt, 0}, OS_UNRECOGNISED},
  };
  ExpectClasses(cases, sizeof cases / sizeof cases[0]);
}

TEST(ClassifyOs, OtherMajorVersionsAreUnrecognised) {
  const ClassCase cases[] = {
      {"failed query leaves all zero", {0, 0, 0, 0}, OS_UNRECOGNISED},
      {"3.10 (Windows 3.1)", {3, 10, kPlatformNone, 0}, OS_UNRECOGNISED},
      {"3.51 (NT 3.51)", {3, 51, kPlatformNt, kWorkstation}, OS_UNRECOGNISED},
      {"7.0", {7, 0, kPlatformNt, kWorkstation}, OS_UNRECOGNISED},
      {"10.0 workstation", {10, 0, kPlatformNt, kWorkstation}, OS_UNRECOGNISED},
      {"10.0 server", {10, 0, kPlatformNt, kServer}, OS_UNRECOGNISED},
  };
  ExpectClasses(cases, sizeof cases / sizeof cases[0]);
}

// The platform id counts only for 4.0, the product type only for 5.0 and 6.x.
TEST(ClassifyOs, FieldsOutsideTheirRuleAreIgnored) {
  const ClassCase cases[] = {
      {"4.10 on the NT platform", {4, 10, kPlatformNt, kDomainController}, OS_WIN98},
      {"4.90 on platform 0", {4, 90, kPlatformNone, kServer}, OS_WINME},
      {"4.0 9x with a domain controller type", {4, 0, kPlatform9x, kDomainController}, OS_WIN95},
      {"4.0 NT with a domain controller type", {4, 0, kPlatformNt, kDomainController}, OS_NT4},
      {"5.0 workstation on the 9x platform", {5, 0, kPlatform9x, kWorkstation}, OS_WIN2000},
      {"5.1 domain controller", {5, 1, kPlatformNt, kDomainController}, OS_WINXP},
      {"5.1 on platform 0", {5, 1, kPlatformNone, 0}, OS_WINXP},
      {"6.1 workstation on the 9x platform", {6, 1, kPlatform9x, kWorkstation}, OS_VISTA},
  };
  ExpectClasses(cases, sizeof cases / sizeof cases[0]);
}

TEST(BitnessOfProcessorType, OnlyIa64AndAmd64Are64Bit) {
  const struct {
    uint32_t processorType;
    uint8_t expected;
  } cases[] = {
      {586, 32}, {386, 32}, {486, 32}, {8664, 64}, {2200, 64}, {0, 32}, {8665, 32}, {2201, 32},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.processorType);
    EXPECT_EQ(c.expected, BitnessOfProcessorType(c.processorType));
  }
}

TEST(OsFamilies, EachClassBelongsToAtMostOneFamily) {
  const struct {
    uint8_t osClass;
    bool is9x;
    bool isXp;
    bool isVista;
  } cases[] = {
      {OS_UNRECOGNISED, false, false, false},
      {OS_WIN95, true, false, false},
      {OS_WIN98, true, false, false},
      {OS_WINME, true, false, false},
      {OS_NT4, false, true, false},
      {OS_WIN2000, false, true, false},
      {OS_WINXP, false, true, false},
      {OS_VISTA, false, false, true},
      {8, false, false, false},
      {255, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.osClass));
    EXPECT_EQ(c.is9x, Is9xFamily(c.osClass));
    EXPECT_EQ(c.isXp, IsXpFamily(c.osClass));
    EXPECT_EQ(c.isVista, IsVistaFamily(c.osClass));
  }
}

}  // namespace
