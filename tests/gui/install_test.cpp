// Pressing Install: the installer for the running system is run from its driver folder and
// waited for, and only then does the notice come; when nothing can be installed the notice says
// why, with the error icon, and nothing runs. The program ends once the notice is confirmed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "deadline.h"
#include "gui_case.h"
#include "registry_values.h"
#include "resource.h"
#include "scratch_folder.h"
#include "standin_log.h"
#include "window_access.h"

using namespace gui_driver;

namespace {

// Long enough to look at the program while the stand-in installer runs.
const char kStandinDelayMs[] = "2000";
// The program keeps directory paths in 160 bytes; a medium root this long does not fit.
const size_t kTooLongRootLength = 170;

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class Install : public GuiCase {
 protected:
  void SetUp() override {
    GuiCase::SetUp();
    DeleteRegistryValue(HKEY_CURRENT_USER, kPackageKey, "Installed");
    DeleteRegistryValue(HKEY_CURRENT_USER, kPackageKey, "SourceFolder");
  }

  // Confirms the notice and expects the program to end with it.
  void ConfirmAndExpectExit(HWND notice) {
    ASSERT_TRUE(ConfirmMessageBox(notice));
    EXPECT_TRUE(WaitForProgramExit()) << "the program did not end after its notice";
  }
};

// Watches the program after Install until its notice shows. The window is looked for before the
// record is read, so a notice seen with no end record really came while the stand-in ran.
struct InstallWatch {
  HWND notice = nullptr;
  bool sawStandinRunWithoutNotice = false;
  bool endRecordedWhenNoticeShown = false;
  bool dialogShownWhileStandinRan = true;
};

InstallWatch WatchUntilNotice(const Program& program, HWND dialog, const std::string& log) {
  InstallWatch watch;
  PollUntil(
      [&] {
        watch.notice = FindWindowOf(program.Id(), kDialogClass, kNoticeCaption);
        std::vector<StandinRun> runs = ReadStandinLog(log);
        bool ended = !runs.empty() && runs.back().ended;
        if (watch.notice) {
          watch.endRecordedWhenNoticeShown = ended;
          return true;
        }
        if (!runs.empty() && !ended) {
          watch.sawStandinRunWithoutNotice = true;
          watch.dialogShownWhileStandinRan &= IsWindowVisible(dialog) != FALSE;
        }
        return false;
      },
      kInstallTimeoutMs);
  return watch;
}

TEST_F(Install, OnVistaRunsTheInstallerAndReportsOnlyAfterItHasEnded) {
  ASSERT_TRUE(StartProgram("win7", {{"QB7_STANDIN_DELAY_MS", kStandinDelayMs}}));
  ASSERT_TRUE(PressButton(dialog_, IDC_INSTALL));
  InstallWatch watch = WatchUntilNotice(program_, dialog_, standinLog_);
  ASSERT_NE(watch.notice, nullptr) << "no notice captioned \"Status\" appeared";
  Snapshot(watch.notice);
  EXPECT_TRUE(watch.sawStandinRunWithoutNotice) << "the stand-in was never seen running";
  EXPECT_TRUE(watch.endRecordedWhenNoticeShown) << "the notice came while the installer ran";
  EXPECT_TRUE(watch.dialogShownWhileStandinRan);
  EXPECT_EQ(MessageBoxText(watch.notice), kInstallOkPlugIn);
  EXPECT_EQ(Probe(watch.notice).shownIcon, ShownIcon::kInformation);

  std::vector<StandinRun> runs = ReadStandinLog(standinLog_);
  ASSERT_EQ(runs.size(), 1u);
  bool is64 = PrefixBitness() == 64;
  std::string driverFolder = medium_ + (is64 ? "\\Driver\\Vista_64" : "\\Driver\\Vista_32");
  std::string installer = is64 ? "\\DPInst64.exe" : "\\DPInst32.exe";
  EXPECT_TRUE(SamePath(runs[0].cwd, driverFolder)) << runs[0].cwd;
  EXPECT_TRUE(SamePath(runs[0].image, driverFolder + installer)) << runs[0].image;
  EXPECT_TRUE(EndsWith(runs[0].cmdline, kVistaParameters)) << runs[0].cmdline;
  ConfirmAndExpectExit(watch.notice);
}

// Wine lists a planted device node as present but never started: Windows is still setting it up.
TEST_F(Install, OnVistaAPluggedInAdapterTakesThePlugInLinesPlace) {
  ASSERT_TRUE(PlantDeviceNode("USB\\VID_0B95&PID_7720\0", nullptr));
  ASSERT_TRUE(StartProgram("win7"));
  ASSERT_TRUE(PressButton(dialog_, IDC_INSTALL));
  HWND notice = WaitForNotice();
  ASSERT_NE(notice, nullptr) << "no notice captioned \"Status\" appeared";
  Snapshot(notice);
  EXPECT_EQ(MessageBoxText(notice), kInstallOkSettingUp);
  EXPECT_EQ(Probe(notice).shownIcon, ShownIcon::kInformation);
  ConfirmAndExpectExit(notice);
}

struct XpRow {
  const char* name;
  const char* version;
  bool adapterPluggedIn;
};

const XpRow kXpRows[] = {{"WinXp", "winxp", false},
                         {"WinXp64", "winxp64", false},
                         {"WinXpAdapterPluggedIn", "winxp", true}};

// Names the row in test names and messages.
void PrintTo(const XpRow& row, std::ostream* out) { *out << row.name; }

class XpInstall : public Install, public testing::WithParamInterface<XpRow> {};

// The setup library run through Wine's own rundll32 really processes our test package, whose
// only effect is a registry value naming the folder it was installed from.
TEST_P(XpInstall, InstallsThePackageThroughTheSetupLibrary) {
  if (GetParam().adapterPluggedIn) {
    ASSERT_TRUE(PlantDeviceNode("USB\\VID_0B95&PID_7720\0", nullptr));
  }
  ASSERT_TRUE(StartProgram(GetParam().version));
  ASSERT_TRUE(PressButton(dialog_, IDC_INSTALL));
  HWND notice = WaitForNotice();
  ASSERT_NE(notice, nullptr) << "no notice captioned \"Status\" appeared";
  Snapshot(notice);
  EXPECT_EQ(MessageBoxText(notice),
            GetParam().adapterPluggedIn ? kInstallOkSettingUpXp : kInstallOkPlugIn);
  EXPECT_EQ(Probe(notice).shownIcon, ShownIcon::kInformation);
  std::string installed;
  std::string sourceFolder;
  EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, kPackageKey, "Installed", &installed));
  EXPECT_EQ(installed, "AX88772");
  // The prefix decides the processor, and so the folder.
  const char* folder = PrefixBitness() == 64 ? "\\Driver\\WinXP_64\\" : "\\Driver\\Win2000_WinXP\\";
  EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, kPackageKey, "SourceFolder", &sourceFolder));
  EXPECT_TRUE(SamePath(sourceFolder, medium_ + folder)) << sourceFolder;
  EXPECT_FALSE(FileExists(standinLog_)) << "the stand-in ran on the 2000/XP road";
  ConfirmAndExpectExit(notice);
}

INSTANTIATE_TEST_SUITE_P(Versions, XpInstall, testing::ValuesIn(kXpRows));

enum class MediumChange { kNone, kNoDriverFolders, kNoInstaller, kNoInf, kTooLongRoot };

struct FailureRow {
  const char* name;
  const char* version;
  MediumChange change;
  UINT message;             // the string the notice is made from
  const char* subjectTail;  // null: the message names nothing; else added to the medium root
};

const FailureRow kFailureRows[] = {
    {"UnsupportedSystem", "nt351", MediumChange::kNone, IDS_FAIL_UNSUPPORTED, nullptr},
    {"NoDriverFoldersOnVista", "win7", MediumChange::kNoDriverFolders, IDS_FAIL_FOLDER_MISSING,
     "\\Driver\\Vista_64"},
    {"NoDriverFoldersOnXp", "winxp", MediumChange::kNoDriverFolders, IDS_FAIL_FOLDER_MISSING,
     "\\Driver\\WinXP_64"},
    {"NoInstallerInFolder", "win7", MediumChange::kNoInstaller, IDS_FAIL_NOT_STARTED,
     "\\Driver\\Vista_64\\DPInst64.exe /lm /sw /sa"},
    {"NoInfInFolder", "winxp", MediumChange::kNoInf, IDS_FAIL_PACKAGE_MISSING,
     "\\Driver\\WinXP_64"},
    {"MediumPathTooLong", "win7", MediumChange::kTooLongRoot, IDS_FAIL_PATH_TOO_LONG, nullptr},
};

// Names the row in test names and messages.
void PrintTo(const FailureRow& row, std::ostream* out) { *out << row.name; }

class FailedInstall : public Install, public testing::WithParamInterface<FailureRow> {
 protected:
  // Moves the medium below folders that make its root path longer than the program can keep.
  void MoveMediumDeeper() {
    std::string root = scratch_ + "\\deep";
    while (root.size() < kTooLongRootLength) root += "\\a folder with a long name";
    ASSERT_TRUE(MakeFolders(root));
    ASSERT_TRUE(MoveFileExA(medium_.c_str(), (root + "\\medium").c_str(), 0));
    medium_ = root + "\\medium";
  }

  void ChangeMedium(MediumChange change) {
    switch (change) {
      case MediumChange::kNone: break;
      case MediumChange::kNoDriverFolders: RemoveTree(medium_ + "\\Driver"); break;
      case MediumChange::kNoInstaller:
        ASSERT_TRUE(DeleteFileA((medium_ + "\\Driver\\Vista_64\\DPInst64.exe").c_str()));
        break;
      case MediumChange::kNoInf:
        ASSERT_TRUE(DeleteFileA((medium_ + "\\Driver\\WinXP_64\\Ax88772.inf").c_str()));
        break;
      case MediumChange::kTooLongRoot: MoveMediumDeeper(); break;
    }
  }
};

TEST_P(FailedInstall, SaysWhyWithTheErrorIconAndRunsNothing) {
  const FailureRow& row = GetParam();
  ChangeMedium(row.change);
  ASSERT_TRUE(StartProgram(row.version));
  ASSERT_TRUE(PressButton(dialog_, IDC_INSTALL));
  HWND notice = WaitForNotice();
  ASSERT_NE(notice, nullptr) << "no notice captioned \"Status\" appeared";
  Snapshot(notice);
  std::string subject = row.subjectTail ? medium_ + row.subjectTail : "";
  std::string expected = NoticeText(row.message, subject);
  EXPECT_FALSE(expected.empty());
  EXPECT_EQ(MessageBoxText(notice), expected);
  EXPECT_EQ(Probe(notice).shownIcon, ShownIcon::kError);
  EXPECT_FALSE(FileExists(standinLog_)) << "an installer ran";
  std::string installed;
  EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, kPackageKey, "Installed", &installed))
      << "the package was installed";
  ConfirmAndExpectExit(notice);
}

INSTANTIATE_TEST_SUITE_P(Cases, FailedInstall, testing::ValuesIn(kFailureRows));

}  // namespace
