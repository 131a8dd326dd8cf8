// The install procedure end to end: a child process runs it in a scratch distribution medium
// under a chosen reported Windows version, with the stand-in installer and our test package.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "child_process.h"
#include "detect/probe_seams.h"
#include "install/adapter_seams.h"
#include "install/install_procedure.h"
#include "install/system_library.h"
#include "registry_values.h"
#include "scratch_folder.h"
#include "wine_host.h"

namespace {

const char kInstallChild[] = "qb7_install_child.exe";
const DWORD kChildTimeoutMs = 60000;
const char kPackageKey[] = "Software\\QB7_LX450 Test Package";
// Long enough that an installer not waited for is still running when the child returns.
const char kStandinDelayMs[] = "1000";
const REGSAM kRegistryViews[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};

struct InstallRun {
  bool ended;
  std::string outcome;
  std::string subject;
  std::string cwd;
  std::string output;
  std::string adapter;
};

// The Vista-family driver folder and installer for the processor this prefix reports.
const char* VistaFolder() { return PrefixBitness() == 64 ? "Vista_64" : "Vista_32"; }
const char* VistaInstaller() { return PrefixBitness() == 64 ? "DPInst64.exe" : "DPInst32.exe"; }
std::string VistaCommandTail() { return std::string("\\") + VistaInstaller() + " /lm /sw /sa"; }

std::string Outcome(InstallOutcome outcome) { return std::to_string(int(outcome)); }

// The stand-in writes one line starting "pid=" when it starts (and "end pid=" when it ends).
size_t CountStartRecords(const std::string& log) {
  size_t count = 0;
  for (size_t line = 0; line != std::string::npos && line < log.size();) {
    if (log.compare(line, 4, "pid=") == 0) ++count;
    line = log.find('\n', line);
    if (line != std::string::npos) ++line;
  }
  return count;
}

class RunInstallOnWine : public testing::Test {
 protected:
  void SetUp() override {
    scratch_ = MakeScratchFolder();
    ASSERT_FALSE(scratch_.empty());
    medium_ = scratch_ + "\\QB7 Medium";
    ASSERT_TRUE(MakeFolders(medium_));
    log_ = scratch_ + "\\standin.log";
    SetEnvironmentVariableA("QB7_STANDIN_LOG", log_.c_str());
    SetEnvironmentVariableA("QB7_STANDIN_DELAY_MS", kStandinDelayMs);
    DeleteRegistryValue(HKEY_CURRENT_USER, kPackageKey, "Installed");
    DeleteRegistryValue(HKEY_CURRENT_USER, kPackageKey, "SourceFolder");
    for (REGSAM view : kRegistryViews) {
      DeleteRegistryValue(HKEY_LOCAL_MACHINE, kPackageKey, "Installed", view);
    }
  }

  void TearDown() override {
    RemoveDeviceNode();
    RemoveTree(scratch_);
  }

  // Lays out `base`\Driver\`folder` with the test package and, unless null, the stand-in
  // installer under `installerName`; returns the folder.
  std::string LayOutDriverFolder(const std::string& base, const char* folder,
                                 const char* installerName) {
    std::string directory = base + "\\Driver\\" + folder;
    EXPECT_TRUE(MakeFolders(directory));
    EXPECT_TRUE(
        CopyFileTo(gui_driver::ToWindowsPath(QB7_TEST_INF_HOST_PATH), directory + "\\Ax88772.inf"));
    if (installerName) {
      EXPECT_TRUE(CopyFileTo(gui_driver::ToWindowsPath(QB7_STANDIN_HOST_PATH),
                             directory + "\\" + installerName));
    }
    return directory;
  }

  void LayOutEveryDriverFolder(const std::string& base) {
    LayOutDriverFolder(base, "Win2000_WinXP", nullptr);
    LayOutDriverFolder(base, "WinXP_64", nullptr);
    LayOutDriverFolder(base, "Vista_32", "DPInst32.exe");
    LayOutDriverFolder(base, "Vista_64", "DPInst64.exe");
  }

  InstallRun RunInstallAs(const char* version, const std::string& currentDirectory,
                          const std::string& childPath = SiblingPath(kInstallChild)) {
    EXPECT_TRUE(SetReportedVersion(kInstallChild, version));
    ChildRun child = RunChild('"' + childPath + '"', currentDirectory, kChildTimeoutMs);
    EXPECT_TRUE(child.started);
    EXPECT_TRUE(child.ended) << "the install did not end within " << kChildTimeoutMs << " ms";
    InstallRun run = {child.ended,
                      FieldValue(child.output, "outcome"),
                      FieldValue(child.output, "subject"),
                      FieldValue(child.output, "cwd"),
                      child.output,
                      FieldValue(child.output, "adapter")};
    return run;
  }

  bool PackageInstalled() {
    std::string value;
    return ReadRegistryString(HKEY_CURRENT_USER, kPackageKey, "Installed", &value);
  }

  std::string scratch_;
  std::string medium_;
  std::string log_;
};

TEST_F(RunInstallOnWine, VistaFamilyRunsThePackageInstallerFromTheDriverFolder) {
  std::string driver = LayOutDriverFolder(medium_, VistaFolder(), VistaInstaller());
  InstallRun run = RunInstallAs("win7", medium_);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(Outcome(INSTALL_FINISHED), run.outcome) << run.output;
  EXPECT_EQ("", run.subject);
  EXPECT_PRED2(SamePath, driver, run.cwd);

  std::string log = ReadTextFile(log_);
  ASSERT_FALSE(log.empty()) << "the installer did not run";
  std::string pid = FieldValue(log, "pid");
  EXPECT_EQ(1u, CountStartRecords(log)) << log;
  EXPECT_PRED2(SamePath, driver + "\\" + VistaInstaller(), FieldValue(log, "image"));
  EXPECT_PRED2(SamePath, driver, FieldValue(log, "cwd"));
  std::string commandLine = FieldValue(log, "cmdline");
  const std::string parameters = " /lm /sw /sa";
  ASSERT_GE(commandLine.size(), parameters.size());
  EXPECT_EQ(parameters, commandLine.substr(commandLine.size() - parameters.size()));
  EXPECT_NE(std::string::npos, log.find("end pid=" + pid))
      << "the install returned before the installer had ended:\n"
      << log;
}

// The setup library of the system's own bitness installs: on a 64-bit system the INF's HKLM
// value lands in the 64-bit view, as a 64-bit driver's settings must.
TEST_F(RunInstallOnWine, XpFamilyHasTheNativeSetupLibraryInstallOurInf) {
  std::string xp32 = LayOutDriverFolder(medium_, "Win2000_WinXP", nullptr);
  std::string xp64 = LayOutDriverFolder(medium_, "WinXP_64", nullptr);
  std::string driver = PrefixBitness() == 64 ? xp64 : xp32;
  InstallRun run = RunInstallAs("winxp", medium_);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(Outcome(INSTALL_FINISHED), run.outcome) << run.output;
  EXPECT_PRED2(SamePath, driver, run.cwd);

  std::string installed;
  ASSERT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, kPackageKey, "Installed", &installed))
      << "the INF section did not run";
  EXPECT_EQ("AX88772", installed);
  std::string sourceFolder;
  ASSERT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, kPackageKey, "SourceFolder", &sourceFolder));
  EXPECT_PRED2(SamePath, driver + "\\", sourceFolder) << "the INF of the wrong folder ran";
  EXPECT_FALSE(FileExists(log_));
  if (PrefixBitness() == 64) {
    EXPECT_TRUE(ReadRegistryString(HKEY_LOCAL_MACHINE, kPackageKey, "Installed", &installed,
                                   KEY_WOW64_64KEY))
        << "no value in the 64-bit registry view";
    EXPECT_FALSE(ReadRegistryString(HKEY_LOCAL_MACHINE, kPackageKey, "Installed", &installed,
                                    KEY_WOW64_32KEY))
        << "a 32-bit setup library installed the package";
  }
}

struct XpInfRow {
  const char* name;
  const char* installSection;  // the name the test INF's install section is given
  bool emptySection;           // the section is there but has no line
  const char* usableIn;        // the prefixes, "32" or "64", whose setup library would take it
  // How the child loads setupapi.dll (Wine's per-program DllOverrides), or null: "" makes every
  // load fail, "native,builtin" lets a stand-in beside the child answer a bare-name load.
  const char* setupLibraryOverride;
};

const XpInfRow kXpInfRows[] = {
    {"Plain", "AX88772.Ndi", false, "32 64", nullptr},
    {"AnyNt", "AX88772.Ndi.NT", false, "32 64", nullptr},
    {"Amd64Only", "AX88772.Ndi.NTamd64", false, "64", nullptr},
    {"X86Only", "AX88772.Ndi.NTx86", false, "32", nullptr},
    // The setup library counts 0 lines in an empty section and -1 where there is none.
    {"EmptySection", "AX88772.Ndi", true, "32 64", nullptr},
    // Where the setup library cannot be asked, rundll32 runs as it always did.
    {"SetupLibraryMissing", "AX88772.Ndi", false, "32 64", ""},
    // Only the system folder's setup library is asked, never one beside the program.
    {"StandInBesideTheProgram", "AX88772.Ndi", false, "32 64", "native,builtin"},
};

// Names the row in test names and messages.
void PrintTo(const XpInfRow& row, std::ostream* out) { *out << row.name; }

class XpInfOnWine : public RunInstallOnWine, public testing::WithParamInterface<XpInfRow> {
 protected:
  void TearDown() override {
    DeleteRegistryValue(HKEY_CURRENT_USER, OverrideKey().c_str(), "setupapi");
    RunInstallOnWine::TearDown();
  }

  static std::string OverrideKey() { return AppDefaultsKey(kInstallChild) + "\\DllOverrides"; }

  // The test INF with its install section renamed, or emptied.
  static std::string InfOf(const XpInfRow& row) {
    std::string inf = ReadTextFile(gui_driver::ToWindowsPath(QB7_TEST_INF_HOST_PATH));
    const std::string header = "[AX88772.Ndi]";
    const std::string body = "AddReg=AX88772.Ndi.AddReg";
    size_t at = inf.find(header);
    EXPECT_NE(std::string::npos, at);
    if (row.emptySection) inf.erase(inf.find(body, at), body.size());
    return inf.replace(at, header.size(), std::string("[") + row.installSection + "]");
  }

  // A copy of the install child with the stand-in setup library beside it.
  std::string ChildBesideAStandInSetupLibrary() {
    std::string folder = scratch_ + "\\child";
    EXPECT_TRUE(MakeFolders(folder));
    EXPECT_TRUE(CopyFileTo(SiblingPath(kInstallChild), folder + "\\" + kInstallChild));
    EXPECT_TRUE(CopyFileTo(SiblingPath("qb7_dummy_setupapi.dll"), folder + "\\setupapi.dll"));
    return folder + "\\" + kInstallChild;
  }
};

// The setup library that rundll32 hands the section to takes it decorated for the native
// processor, for any NT, or plain; the check before rundll32 runs must take the same, and refuse
// only an INF whose install section is for another processor.
TEST_P(XpInfOnWine, IsCheckedAsTheNativeSetupLibraryReadsIt) {
  const XpInfRow& row = GetParam();
  bool x64 = PrefixBitness() == 64;
  std::string driver = LayOutDriverFolder(medium_, x64 ? "WinXP_64" : "Win2000_WinXP", nullptr);
  std::ofstream(driver + "\\Ax88772.inf", std::ios::binary | std::ios::trunc) << InfOf(row);
  std::string child = SiblingPath(kInstallChild);
  if (row.setupLibraryOverride) {
    ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, OverrideKey(), "setupapi",
                                    row.setupLibraryOverride));
    if (*row.setupLibraryOverride) child = ChildBesideAStandInSetupLibrary();
  }
  InstallRun run = RunInstallAs(x64 ? "winxp64" : "winxp", medium_, child);
  ASSERT_TRUE(run.ended);
  bool usable =
      std::string(row.usableIn).find(std::to_string(PrefixBitness())) != std::string::npos;
  if (!usable) {
    EXPECT_EQ(Outcome(INSTALL_INF_NO_SECTION), run.outcome) << run.output;
    EXPECT_PRED2(SamePath, driver + "\\Ax88772.inf", run.subject);
    EXPECT_FALSE(PackageInstalled());
    return;
  }
  EXPECT_EQ(Outcome(INSTALL_FINISHED), run.outcome) << run.output;
  EXPECT_EQ(!row.emptySection, PackageInstalled()) << "the setup library installed the section";
}

INSTANTIATE_TEST_SUITE_P(Sections, XpInfOnWine, testing::ValuesIn(kXpInfRows));

struct AdapterRow {
  const char* name;
  const char* version;  // the road: 2000/XP or Vista family
  const char* hardwareIds;
  const char* compatibleIds;
  AdapterState in64BitPrefix;
  AdapterState in32BitPrefix;
  // For a package in a subfolder of the Vista-family driver folder, serving kSubfolderOnlyId:
  // what the folder's dpinst.xml says of it.
  const char* descriptorNames = nullptr;
};

const char kServedId[] = "USB\\VID_0B95&PID_7720&REV_0001\0USB\\VID_0B95&PID_7720\0";
// Served only by the test INF's models section decorated NTamd64.
const char kAmd64OnlyId[] = "USB\\VID_0B95&PID_772A\0";
const char kOtherId[] = "USB\\VID_1234&PID_0001\0";
const char kSubfolderOnlyId[] = "USB\\VID_0B95&PID_772B\0";

// Wine tells every device node neither started nor failed: a present adapter is one Windows is
// still setting up.
const AdapterRow kAdapterRows[] = {
    {"NoDeviceXp", "winxp", nullptr, nullptr, ADAPTER_ABSENT, ADAPTER_ABSENT},
    {"NoDeviceVista", "win7", nullptr, nullptr, ADAPTER_ABSENT, ADAPTER_ABSENT},
    {"OtherDevice", "win7", kOtherId, nullptr, ADAPTER_ABSENT, ADAPTER_ABSENT},
    {"HardwareIdXp", "winxp", kServedId, nullptr, ADAPTER_SETTING_UP, ADAPTER_SETTING_UP},
    {"HardwareIdVista", "win7", kServedId, nullptr, ADAPTER_SETTING_UP, ADAPTER_SETTING_UP},
    {"CompatibleId", "win7", kOtherId, kServedId, ADAPTER_SETTING_UP, ADAPTER_SETTING_UP},
    {"LowerCaseId", "winxp", "usb\\vid_0b95&pid_7720\0", nullptr, ADAPTER_SETTING_UP,
     ADAPTER_SETTING_UP},
    {"Amd64ModelsXp", "winxp", kAmd64OnlyId, nullptr, ADAPTER_SETTING_UP, ADAPTER_ABSENT},
    {"Amd64ModelsVista", "win7", kAmd64OnlyId, nullptr, ADAPTER_SETTING_UP, ADAPTER_ABSENT},
    // The driver package installer also installs the packages its descriptor has it search for.
    {"SubfolderPackage", "win7", kSubfolderOnlyId, nullptr, ADAPTER_SETTING_UP, ADAPTER_SETTING_UP,
     "<search><subDirectory> e*tra </subDirectory></search>"},
    {"GroupPackage", "win7", kSubfolderOnlyId, nullptr, ADAPTER_SETTING_UP, ADAPTER_SETTING_UP,
     "<group><package xpath='x' path=\"extra\\x64\\other.inf\" /></group>"},
    // Its working folder is the driver folder, whose parent is the medium's Driver folder.
    {"SubfolderBesideThisOne", "win7", kSubfolderOnlyId, nullptr, ADAPTER_SETTING_UP,
     ADAPTER_SETTING_UP, "<search><subDirectory>..\\Vista_*\\extra</subDirectory></search>"},
    {"SubfolderNotSearched", "win7", kSubfolderOnlyId, nullptr, ADAPTER_ABSENT, ADAPTER_ABSENT, ""},
};

// Names the row in test names and messages.
void PrintTo(const AdapterRow& row, std::ostream* out) { *out << row.name; }

class AdapterOnWine : public RunInstallOnWine, public testing::WithParamInterface<AdapterRow> {
 protected:
  void LayOutSubfolderPackage(const char* descriptorNames) {
    std::string folder = medium_ + "\\Driver\\" + VistaFolder();
    ASSERT_TRUE(MakeFolders(folder + "\\extra\\x64"));
    std::ofstream(folder + "\\extra\\x64\\other.inf", std::ios::binary)
        << "[Version]\r\nSignature=\"$Windows NT$\"\r\n[Manufacturer]\r\nMaker=Models,NTx86,"
           "NTamd64\r\n[Models.NTx86]\r\nA=I,USB\\VID_0B95&PID_772B\r\n[Models.NTamd64]\r\n"
           "A=I,USB\\VID_0B95&PID_772B\r\n";
    std::ofstream(folder + "\\dpinst.xml", std::ios::binary)
        << "<?xml version=\"1.0\"?>\r\n<dpinst>\r\n  <!-- <subDirectory>extra</subDirectory> "
           "-->\r\n"
        << descriptorNames << "\r\n</dpinst>\r\n";
  }
};

// After the installer, a present device that the package serves, matched as Windows matches
// drivers, takes the place of the installer's counts.
TEST_P(AdapterOnWine, IsFoundByTheIdsThePackageServesHere) {
  const AdapterRow& row = GetParam();
  LayOutEveryDriverFolder(medium_);
  if (row.descriptorNames) LayOutSubfolderPackage(row.descriptorNames);
  if (row.hardwareIds) {
    ASSERT_TRUE(PlantDeviceNode(row.hardwareIds, row.compatibleIds));
  }
  InstallRun run = RunInstallAs(row.version, medium_);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(Outcome(INSTALL_FINISHED), run.outcome) << run.output;
  AdapterState expected = PrefixBitness() == 64 ? row.in64BitPrefix : row.in32BitPrefix;
  EXPECT_EQ(std::to_string(int(expected)), run.adapter) << run.output;
}

INSTANTIATE_TEST_SUITE_P(Devices, AdapterOnWine, testing::ValuesIn(kAdapterRows));

// What the configuration manager answers for the planted device, and how long installs stay
// pending: states Wine itself never reports.
struct DeviceStateRow {
  const char* name;
  ULONG status;
  ULONG problem;
  DWORD pendingWait;  // what the wait for pending installs returns, or kNoWaitFunction
  bool hasStatusFunction;
  AdapterState state;
  uint32_t reportedProblem;
};

// Windows 2000 has no wait for pending installs.
const DWORD kNoWaitFunction = 0xFFFF;

const DeviceStateRow kDeviceStateRows[] = {
    {"Started", DN_STARTED, 0, WAIT_OBJECT_0, true, ADAPTER_READY, 0},
    {"NotStartedYet", 0, 0, WAIT_OBJECT_0, true, ADAPTER_SETTING_UP, 0},
    {"NoDriverCode28", DN_HAS_PROBLEM, 28, WAIT_OBJECT_0, true, ADAPTER_PROBLEM, 28},
    {"CannotStartCode10", DN_HAS_PROBLEM, 10, WAIT_OBJECT_0, true, ADAPTER_PROBLEM, 10},
    {"UnsignedCode52", DN_HAS_PROBLEM, 52, WAIT_OBJECT_0, true, ADAPTER_PROBLEM, 52},
    {"UnknownCode", DN_HAS_PROBLEM, 4242, WAIT_OBJECT_0, true, ADAPTER_PROBLEM, 4242},
    {"ProblemWhileInstallsPending", DN_HAS_PROBLEM, 28, WAIT_TIMEOUT, true, ADAPTER_SETTING_UP, 0},
    {"StartedWhileInstallsPending", DN_STARTED, 0, WAIT_TIMEOUT, true, ADAPTER_READY, 0},
    // Only codes Windows shows while it installs wait for the pending installs.
    {"DisabledWhileInstallsPending", DN_HAS_PROBLEM, 22, WAIT_TIMEOUT, true, ADAPTER_PROBLEM, 22},
    {"StoppedCode43", DN_HAS_PROBLEM, 43, WAIT_OBJECT_0, true, ADAPTER_PROBLEM, 43},
    {"Code28WithoutAWait", DN_HAS_PROBLEM, 28, kNoWaitFunction, true, ADAPTER_SETTING_UP, 0},
    {"Code28AfterAFailedWait", DN_HAS_PROBLEM, 28, WAIT_FAILED, true, ADAPTER_SETTING_UP, 0},
    {"ClassConfigCode56WhileInstallsPending", DN_HAS_PROBLEM, 56, WAIT_TIMEOUT, true,
     ADAPTER_SETTING_UP, 0},
    {"ClassConfigCode56", DN_HAS_PROBLEM, 56, WAIT_OBJECT_0, true, ADAPTER_PROBLEM, 56},
    // Windows NT 4.0 has no configuration manager.
    {"NoDeviceFunctions", DN_STARTED, 0, WAIT_OBJECT_0, false, ADAPTER_NOT_CHECKED, 0},
};

void PrintTo(const DeviceStateRow& row, std::ostream* out) { *out << row.name; }

class DeviceStateOnWine : public RunInstallOnWine,
                          public testing::WithParamInterface<DeviceStateRow> {
 protected:
  static CONFIGRET WINAPI StatusOfRow(ULONG* status, ULONG* problem, DEVINST, ULONG) {
    *status = GetParam().status;
    *problem = GetParam().problem;
    return CR_SUCCESS;
  }
  static DWORD WINAPI WaitOfRow(DWORD timeout) {
    waitedMs_ = timeout;
    return GetParam().pendingWait;
  }
  static DWORD waitedMs_;
};

DWORD DeviceStateOnWine::waitedMs_ = 0;

TEST_P(DeviceStateOnWine, SaysHowThePresentAdapterStands) {
  const DeviceStateRow& row = GetParam();
  waitedMs_ = 0;
  ASSERT_TRUE(PlantDeviceNode(kServedId, nullptr));
  HMODULE setupLibrary = LoadSystemLibrary("setupapi.dll");
  HMODULE configManager = LoadSystemLibrary("cfgmgr32.dll");
  ASSERT_TRUE(setupLibrary && configManager);
  DeviceApi api = LookUpDeviceApi();
  api.getStatus = row.hasStatusFunction ? StatusOfRow : nullptr;
  api.waitNoPendingInstalls = row.pendingWait == kNoWaitFunction ? nullptr : WaitOfRow;
  HardwareIdList ids;
  ClearHardwareIds(&ids);
  AddHardwareId(&ids, "USB\\VID_0B95&PID_7720");
  AdapterReport report = FindAdapterWith(api, ids);
  EXPECT_EQ(row.state, report.state);
  EXPECT_EQ(row.reportedProblem, report.problem);
  if (row.hasStatusFunction && api.waitNoPendingInstalls) {
    EXPECT_EQ(kPendingInstallsWaitMs, waitedMs_) << "no bounded wait";
  }
  FreeLibrary(configManager);
  FreeLibrary(setupLibrary);
}

INSTANTIATE_TEST_SUITE_P(States, DeviceStateOnWine, testing::ValuesIn(kDeviceStateRows));

// Every function looked up at run time is there under Wine, which exports all of them on every
// version: one that is missing was looked for in the wrong library, or by the wrong name.
TEST(LateFunctions, AreFoundWhereTheProgramLooksForThem) {
  std::vector<LateFunction> functions(kLateFunctions, kLateFunctions + LATE_FUNCTION_COUNT);
  functions.insert(functions.end(), std::begin(kProbeFunctions), std::end(kProbeFunctions));
  for (const LateFunction& function : functions) {
    HMODULE library = LoadSystemLibrary(function.library);
    EXPECT_TRUE(library && GetProcAddress(library, function.name))
        << function.name << " is not in " << function.library;
    if (library) FreeLibrary(library);
  }
}

// In the Japanese code page a medium folder may end in a character whose second byte is that
// of a backslash (表 is 95 5C, ― is 81 5C), which is no backslash. Runs as its own test with
// LANG=ja_JP.UTF-8, which gives Wine code page 932.
TEST_F(RunInstallOnWine, DoubleByteFolderNameEndingIn5C) {
  if (GetACP() != 932) GTEST_SKIP() << "runs only in the Japanese code page, not " << GetACP();
  const char* const kFolderNames[] = {
      "\x83\x68\x83\x89\x83\x43\x83\x6F\x95\x5C",  // ドライバ表
      "\x83\x68\x83\x89\x83\x43\x83\x6F\x81\x5C",  // ドライバ―
  };
  for (const char* name : kFolderNames) {
    SCOPED_TRACE(testing::Message()
                 << "folder ending in " << std::hex << (unsigned(name[8]) & 0xFF) << " 5C");
    std::string folder = scratch_ + "\\" + name;
    ASSERT_TRUE(MakeFolders(folder));
    std::string driver = LayOutDriverFolder(folder, VistaFolder(), VistaInstaller());
    DeleteFileA(log_.c_str());
    InstallRun run = RunInstallAs("win7", folder);
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(Outcome(INSTALL_FINISHED), run.outcome) << run.output;
    EXPECT_PRED2(SamePath, driver, run.cwd);
    EXPECT_EQ(1u, CountStartRecords(ReadTextFile(log_))) << "the installer did not run once";
  }
}

TEST_F(RunInstallOnWine, UnrecognisedSystemRunsNothing) {
  LayOutEveryDriverFolder(medium_);
  InstallRun run = RunInstallAs("nt351", medium_);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(Outcome(INSTALL_UNSUPPORTED), run.outcome) << run.output;
  EXPECT_PRED2(SamePath, medium_, run.cwd);
  EXPECT_FALSE(FileExists(log_)) << ReadTextFile(log_);
  EXPECT_FALSE(PackageInstalled());
}

TEST_F(RunInstallOnWine, MissingDriverFolderRunsNothing) {
  LayOutDriverFolder(medium_, "WinXP_64", nullptr);
  LayOutDriverFolder(medium_, "Vista_32", "DPInst32.exe");
  InstallRun run = RunInstallAs("win7", medium_);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(Outcome(INSTALL_FOLDER_MISSING), run.outcome) << run.output;
  EXPECT_PRED2(SamePath, medium_ + "\\Driver\\Vista_64", run.subject);
  EXPECT_PRED2(SamePath, medium_, run.cwd);
  EXPECT_FALSE(FileExists(log_)) << ReadTextFile(log_);
  EXPECT_FALSE(PackageInstalled());
}

TEST_F(RunInstallOnWine, MissingInstallerIsNotStarted) {
  std::string driver = LayOutDriverFolder(medium_, "Vista_64", nullptr);
  LayOutDriverFolder(medium_, "Vista_32", "DPInst32.exe");
  InstallRun run = RunInstallAs("win7", medium_);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(Outcome(INSTALL_NOT_STARTED), run.outcome) << run.output;
  EXPECT_EQ(driver + VistaCommandTail(), run.subject);
  EXPECT_PRED2(SamePath, driver, run.cwd);
  EXPECT_FALSE(FileExists(log_)) << ReadTextFile(log_);
}

// The base directory is read with room for 129 characters: that many are used whole, and one
// more is refused rather than cut to a folder that might hold another package.
TEST_F(RunInstallOnWine, BaseDirectoryLengthBoundary) {
  const size_t kLongestBase = kBaseDirectoryCapacity - 1;
  ASSERT_LT(medium_.size() + 2, kLongestBase);
  std::string longest = medium_ + "\\" + std::string(kLongestBase - medium_.size() - 1, 'm');
  std::string tooLong = longest + "m";
  ASSERT_TRUE(MakeFolders(longest));
  ASSERT_TRUE(MakeFolders(tooLong));
  std::string driver = LayOutDriverFolder(longest, "Vista_64", nullptr);
  LayOutDriverFolder(tooLong, "Vista_64", nullptr);

  InstallRun run = RunInstallAs("win7", longest);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(Outcome(INSTALL_NOT_STARTED), run.outcome) << run.output;
  EXPECT_EQ(driver + VistaCommandTail(), run.subject);
  EXPECT_PRED2(SamePath, driver, run.cwd);

  run = RunInstallAs("win7", tooLong);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(Outcome(INSTALL_PATH_TOO_LONG), run.outcome) << run.output;
  EXPECT_PRED2(SamePath, tooLong, run.cwd);
}

}  // namespace
