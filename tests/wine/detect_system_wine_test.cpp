// DetectSystem against the version records Wine really reports, one reported version per case.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "child_process.h"
#include "detect/os_class.h"
#include "detect/probe_seams.h"
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

// A system the probe cannot meet under Wine, stood in for through the functions it asks.
struct StandInSystem {
  const char* name;
  bool knowsTheExtendedRecord;  // 95/98/ME and NT 4.0 before SP6 fail for its size
  DWORD major, minor, platformId;
  BYTE productType;
  DWORD processorType;   // of the native record
  USHORT nativeMachine;  // what IsWow64Process2 says; 0 where the system lacks it
  OsClass expected;
  uint8_t expectedBitness;
};

const StandInSystem kStandInSystems[] = {
    {"Windows95", false, 4, 0, 1, 0, 586, 0, OS_WIN95, 32},
    {"Windows98", false, 4, 10, 1, 0, 586, 0, OS_WIN98, 32},
    {"WindowsMe", false, 4, 90, 1, 0, 586, 0, OS_WINME, 32},
    {"Nt4BeforeSp6", false, 4, 0, 2, 0, 586, 0, OS_NT4, 32},
    {"Nt4Sp6", true, 4, 0, 2, 1, 586, 0, OS_NT4, 32},
    {"Windows10X64", true, 6, 2, 2, 1, 8664, 0x8664, OS_VISTA, 64},
    {"Windows10X86", true, 6, 2, 2, 1, 586, 0x014C, OS_VISTA, 32},
    // Windows on ARM tells an emulated x86 program of an x64 (11) or x86 (10) processor.
    {"Windows11Arm64", true, 6, 2, 2, 1, 8664, 0xAA64, OS_UNRECOGNISED, 64},
    {"Windows10Arm64", true, 6, 2, 2, 1, 586, 0xAA64, OS_UNRECOGNISED, 32},
    {"Windows10Arm32", true, 6, 2, 2, 1, 586, 0x01C4, OS_UNRECOGNISED, 32},
    {"Server2003Itanium", true, 5, 2, 2, 3, 2200, 0, OS_WIN2000, 64},
};

// Names the row in test names and messages.
void PrintTo(const StandInSystem& row, std::ostream* out) { *out << row.name; }

const StandInSystem* gSystem = nullptr;

BOOL WINAPI StandInGetVersionEx(OSVERSIONINFOA* record) {
  bool extended = record->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXA);
  if (record->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) &&
      !(extended && gSystem->knowsTheExtendedRecord)) {
    return FALSE;
  }
  record->dwMajorVersion = gSystem->major;
  record->dwMinorVersion = gSystem->minor;
  record->dwPlatformId = gSystem->platformId;
  if (extended) reinterpret_cast<OSVERSIONINFOEXA*>(record)->wProductType = gSystem->productType;
  return TRUE;
}

void WINAPI StandInGetNativeSystemInfo(SYSTEM_INFO* record) {
  record->dwProcessorType = gSystem->processorType;
}

BOOL WINAPI StandInIsWow64Process2(HANDLE, USHORT* processMachine, USHORT* nativeMachine) {
  *processMachine = gSystem->nativeMachine == 0x014C ? 0 : 0x014C;
  *nativeMachine = gSystem->nativeMachine;
  return TRUE;
}

class ProbeOfStandInSystem : public testing::TestWithParam<StandInSystem> {};

TEST_P(ProbeOfStandInSystem, ClassifiesItAsTheSystemItIs) {
  gSystem = &GetParam();
  ProbeApi api = {StandInGetVersionEx, StandInGetNativeSystemInfo,
                  gSystem->nativeMachine ? StandInIsWow64Process2 : nullptr};
  SystemProbe probe = ProbeWith(api);
  EXPECT_EQ(gSystem->expected, probe.osClass);
  EXPECT_EQ(gSystem->expectedBitness, probe.bitness);
  EXPECT_EQ(gSystem->processorType, probe.processorType);
}

INSTANTIATE_TEST_SUITE_P(Systems, ProbeOfStandInSystem, testing::ValuesIn(kStandInSystems));

}  // namespace
