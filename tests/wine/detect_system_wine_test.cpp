// DetectSystem against the version records Wine really reports, one reported version per case.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "child_process.h"
#include "detect/os_class.h"
#include "registry_values.h"

namespace {

const char kProbeChild[] = "qb7_probe_child.exe";
const DWORD kChildTimeoutMs = 30000;

struct VersionCase {
  const char* version;  // as Wine names it
  OsClass expected;
};

// Names each case after its version: CTest lists it under that name.
void PrintTo(const VersionCase& c, std::ostream* out) { *out << c.version; }

class DetectSystemOnWine : public testing::TestWithParam<VersionCase> {};

TEST_P(DetectSystemOnWine, ClassifiesTheReportedVersion) {
  const VersionCase& c = GetParam();
  ASSERT_TRUE(SetReportedVersion(kProbeChild, c.version));
  ChildRun run = RunChild(SiblingPath(kProbeChild), "", kChildTimeoutMs);
  ASSERT_TRUE(run.started);
  ASSERT_TRUE(run.ended) << "the probe did not end within " << kChildTimeoutMs << " ms";
  EXPECT_EQ(std::to_string(c.expected), FieldValue(run.output, "class")) << run.output;
  // The prefix decides the processor whatever the version: 8664 in a 64-bit one, also to a
  // 32-bit program, which must ask for the native record to be told so.
  EXPECT_EQ(std::to_string(PrefixBitness()), FieldValue(run.output, "bitness")) << run.output;
}

const VersionCase kVersions[] = {
    {"win95", OS_WIN95},        {"win98", OS_WIN98},     {"winme", OS_WINME},
    {"nt40", OS_NT4},           {"win2k", OS_WIN2000},   {"winxp", OS_WINXP},
    {"win2003", OS_WIN2000},    {"vista", OS_VISTA},     {"win2008", OS_VISTA},
    {"win7", OS_VISTA},         {"win10", OS_VISTA},     {"nt351", OS_UNRECOGNISED},
    {"winxp64", OS_WIN2000},    {"win2008r2", OS_VISTA}, {"win81", OS_VISTA},
    {"win31", OS_UNRECOGNISED},
};

INSTANTIATE_TEST_SUITE_P(WineVersions, DetectSystemOnWine, testing::ValuesIn(kVersions));

}  // namespace
