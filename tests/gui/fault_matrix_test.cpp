// Install under unusual media and misbehaving installers, end to end with the real program: in
// every case it neither crashes nor hangs, ends once its notice is confirmed, starts no installer
// where it should not, and its notice tells what really happened as far as the program can know.
#include <windows.h>
#include <gtest/gtest.h>
#include <tlhelp32.h>
#include <winioctl.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "deadline.h"
#include "gui_case.h"
#include "program.h"
#include "registry_values.h"
#include "resource.h"
#include "scratch_folder.h"
#include "standin_log.h"
#include "window_access.h"

using namespace gui_driver;

namespace {

const char kVistaInstaller[] = "DPInst64.exe";
const char kVistaFolderTail[] = "\\Driver\\Vista_64";
const char kXpInf[] = "\\Driver\\WinXP_64\\Ax88772.inf";
// The program reads its current directory with room for 129 characters and the terminator.
const size_t kLongestBase = 129;
// Long enough to press Install twice while the first installer still runs.
const char kStandinDelayMs[] = "2000";
// The other process of the installer's name outlives anything the case waits for; the case ends
// it itself.
const char kOtherStandinDelayMs[] = "600000";
// How long the program is watched for a notice it must not show while another process of the
// installer's name runs: several of its looks at the process list.
const DWORD kNoNoticeWatchMs = 3000;

bool IsInstalled() {
  std::string value;
  return ReadRegistryString(HKEY_CURRENT_USER, kPackageKey, "Installed", &value);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Whether any process of this image name runs, as the program itself looks for it.
bool IsImageRunning(const char* imageName) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = Process32First(snapshot, &entry); more && !found;
       more = Process32Next(snapshot, &entry)) {
    found = lstrcmpiA(entry.szExeFile, imageName) == 0;
  }
  CloseHandle(snapshot);
  return found;
}

bool WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  return static_cast<bool>(file);
}

// A drive letter of the prefix standing for a folder while the object lives. Wine's file system
// does not follow DefineDosDevice links, so the drive is made as winecfg makes one: its mount
// manager is asked to define a drive for the folder's host path.
class MappedDrive {
 public:
  MappedDrive() = default;
  MappedDrive(const MappedDrive&) = delete;
  MappedDrive& operator=(const MappedDrive&) = delete;
  ~MappedDrive() {
    if (letter_) Define(letter_, "");
  }

  // Takes the first free letter from M on; the drive's root ("M:\") or empty when none took.
  std::string Map(const std::string& folder) {
    std::string hostPath = HostPathOf(folder);
    if (hostPath.empty()) return "";
    DWORD used = GetLogicalDrives();
    for (char letter = 'M'; letter <= 'Y'; ++letter) {
      if (used & (1u << (letter - 'A'))) continue;
      if (!Define(letter, hostPath)) continue;
      letter_ = letter;
      return std::string(1, letter) + ":\\";
    }
    return "";
  }

 private:
  // Wine's own request to its mount manager (include/ddk/mountmgr.h of Wine's sources).
  struct UnixDrive {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
  };
  static const DWORD kDefineUnixDrive =
      CTL_CODE(0x6D, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

  using UnixFileName = char*(CDECL*)(const WCHAR*);

  // The folder's path on the host, through Wine's own export; empty outside Wine.
  static std::string HostPathOf(const std::string& folder) {
    auto unixFileName = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixFileName) return "";
    WCHAR wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wide, MAX_PATH)) return "";
    char* path = unixFileName(wide);
    if (!path) return "";
    std::string result = path;
    HeapFree(GetProcessHeap(), 0, path);
    return result;
  }

  // Defines `letter` as a fixed drive at `hostPath`, or removes it when `hostPath` is empty.
  static bool Define(char letter, const std::string& hostPath) {
    std::vector<char> request(sizeof(UnixDrive) + hostPath.size() + 1);
    UnixDrive* drive = reinterpret_cast<UnixDrive*>(request.data());
    drive->size = static_cast<ULONG>(request.size());
    drive->type = hostPath.empty() ? DRIVE_NO_ROOT_DIR : DRIVE_FIXED;
    drive->letter = static_cast<WCHAR>(letter - 'A' + 'a');
    if (!hostPath.empty()) {
      drive->mountPointOffset = sizeof(UnixDrive);
      memcpy(request.data() + sizeof(UnixDrive), hostPath.c_str(), hostPath.size() + 1);
    }
    HANDLE manager =
        CreateFileA("\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    BOOL done = DeviceIoControl(manager, kDefineUnixDrive, request.data(),
                                static_cast<DWORD>(request.size()), nullptr, 0, &returned, nullptr);
    CloseHandle(manager);
    return done != FALSE;
  }

  char letter_ = 0;
};

class FaultMatrix : public GuiCase {
 protected:
  void SetUp() override {
    GuiCase::SetUp();
    DeleteRegistryValue(HKEY_CURRENT_USER, kPackageKey, "Installed");
    DeleteRegistryValue(HKEY_CURRENT_USER, kPackageKey, "SourceFolder");
  }

  // The medium root without a trailing backslash, as the program builds its paths on it.
  std::string Base() const {
    return medium_.back() == '\\' ? medium_.substr(0, medium_.size() - 1) : medium_;
  }

  // Moves the medium to `path` in the scratch folder.
  void MoveMediumTo(const std::string& path) {
    ASSERT_TRUE(MoveFileExA(medium_.c_str(), path.c_str(), 0)) << path;
    medium_ = path;
  }

  // Moves the medium to a folder of the scratch folder whose full path has `length` characters.
  void MoveMediumToPathOfLength(size_t length) {
    std::string path = scratch_ + "\\medium-";
    ASSERT_LT(path.size(), length);
    path.append(length - path.size(), 'x');
    MoveMediumTo(path);
  }

  HWND PressInstallAndWaitForNotice() {
    EXPECT_TRUE(PressButton(dialog_, IDC_INSTALL));
    HWND notice = WaitForNotice();
    EXPECT_NE(notice, nullptr) << "no notice captioned \"Status\" appeared";
    if (notice) Snapshot(notice);
    return notice;
  }

  void ConfirmAndExpectExit(HWND notice) {
    ASSERT_TRUE(ConfirmMessageBox(notice));
    EXPECT_TRUE(WaitForProgramExit()) << "the program did not end after its notice";
  }

  // The one run of the stand-in the program started, checked against the medium it was given.
  void ExpectOneVistaRunFromTheMedium() {
    std::vector<StandinRun> runs = ReadStandinLog(standinLog_);
    ASSERT_EQ(runs.size(), 1u) << "the installer did not run exactly once";
    std::string folder = Base() + kVistaFolderTail;
    std::string installer = folder + "\\" + kVistaInstaller;
    EXPECT_TRUE(SamePath(runs[0].cwd, folder)) << runs[0].cwd;
    EXPECT_TRUE(SamePath(runs[0].image, installer)) << runs[0].image;
    EXPECT_TRUE(Contains(runs[0].cmdline, installer)) << runs[0].cmdline;
    EXPECT_FALSE(Contains(runs[0].cmdline, "\\\\")) << runs[0].cmdline;
    EXPECT_TRUE(EndsWith(runs[0].cmdline, kVistaParameters)) << runs[0].cmdline;
    EXPECT_TRUE(runs[0].ended);
  }

  MappedDrive drive_;
};

// Where the medium is: each place is one the program must install from as from any other.
enum class Place { kDriveRoot, kLongestBase, kAnsiLetters };

struct PlaceRow {
  const char* name;
  Place place;
};

const PlaceRow kPlaceRows[] = {
    {"DriveRoot", Place::kDriveRoot},
    {"BaseOf129Characters", Place::kLongestBase},
    {"BaseWithAnsiLetters", Place::kAnsiLetters},
};

// Names the row in test names and messages.
void PrintTo(const PlaceRow& row, std::ostream* out) { *out << row.name; }

class MediumPlace : public FaultMatrix, public testing::WithParamInterface<PlaceRow> {
 protected:
  void PlaceMedium(Place place) {
    switch (place) {
      case Place::kDriveRoot: MapMediumToDrive(); break;
      case Place::kLongestBase:
        MoveMediumToPathOfLength(kLongestBase);
        ASSERT_EQ(medium_.size(), kLongestBase);
        break;
      case Place::kAnsiLetters: MoveMediumTo(scratch_ + "\\" + AnsiFolderName()); break;
    }
  }

  void MapMediumToDrive() {
    std::string root = drive_.Map(medium_);
    ASSERT_FALSE(root.empty()) << "no free drive letter could be mapped";
    ASSERT_TRUE(FileExists(root + kProgramFileName)) << "the mapped drive shows no medium";
    medium_ = root;
  }

  // "Médium Ünïcode" in the ANSI code page; the case is skipped where that cannot write it.
  std::string AnsiFolderName() {
    const wchar_t name[] = L"M\u00e9dium \u00dcn\u00efcode";
    char ansi[64];
    BOOL lost = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, ansi, sizeof ansi,
                                     nullptr, &lost);
    if (length == 0 || lost) return "";
    return ansi;
  }
};

TEST_P(MediumPlace, InstallsFromTheDriverFolderBelowIt) {
  const PlaceRow& row = GetParam();
  if (row.place == Place::kAnsiLetters && AnsiFolderName().empty()) {
    GTEST_SKIP() << "the ANSI code page " << GetACP() << " has no such letters";
  }
  PlaceMedium(row.place);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(StartProgram("win7"));
  HWND notice = PressInstallAndWaitForNotice();
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(MessageBoxText(notice), kInstallOkPlugIn);
  EXPECT_EQ(Probe(notice).shownIcon, ShownIcon::kInformation);
  ExpectOneVistaRunFromTheMedium();
  EXPECT_TRUE(IsInstalled()) << "the stand-in did not install the package beside it";
  ConfirmAndExpectExit(notice);
}

INSTANTIATE_TEST_SUITE_P(Places, MediumPlace, testing::ValuesIn(kPlaceRows));

// One character more than the program reads: it says so and runs nothing.
TEST_F(FaultMatrix, BaseOf130CharactersIsTooLongAndRunsNothing) {
  MoveMediumToPathOfLength(kLongestBase + 1);
  ASSERT_EQ(medium_.size(), kLongestBase + 1);
  ASSERT_TRUE(StartProgram("win7"));
  HWND notice = PressInstallAndWaitForNotice();
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(MessageBoxText(notice), NoticeText(IDS_FAIL_PATH_TOO_LONG, ""));
  EXPECT_EQ(Probe(notice).shownIcon, ShownIcon::kError);
  EXPECT_FALSE(FileExists(standinLog_)) << "an installer ran";
  EXPECT_FALSE(IsInstalled()) << "the package was installed";
  ConfirmAndExpectExit(notice);
}

struct BadInfRow {
  const char* name;
  const char* content;
  const char* notice;  // before the INF's path
  const char* tail;    // after it
};

const char kInfUnreadable[] = "The driver package's INF file could not be read:\n\n";
const char kInfNoSection[] =
    "The driver package's INF file has no install section for this Windows:\n\n";
const char kNothingInstalled[] = "\n\nNothing was installed.";
const char kSectionsLookedFor[] =
    "\n\nIt was searched for AX88772.Ndi.NTamd64, AX88772.Ndi.NT, AX88772.Ndi. "
    "Nothing was installed.";
// An INF whose only install section is named `section`, and installs something else.
#define QB7_INF_WITH_ONLY_SECTION(section)                                                      \
  "[Version]\r\nSignature=\"$Windows NT$\"\r\n\r\n[" section "]\r\nAddReg=Other.AddReg\r\n\r\n" \
  "[Other.AddReg]\r\nHKCU,\"Software\\QB7_LX450 Test Package\",\"Installed\",0,\"Other\"\r\n"

const BadInfRow kBadInfRows[] = {
    {"NoInstallSection", QB7_INF_WITH_ONLY_SECTION("Other.Ndi"), kInfNoSection, kSectionsLookedFor},
    // On 64-bit Windows the setup library passes over a section decorated for x86.
    {"OnlyForAnotherProcessor", QB7_INF_WITH_ONLY_SECTION("AX88772.Ndi.NTx86"), kInfNoSection,
     kSectionsLookedFor},
    {"Garbage", "\x01\x02 this is no INF file \xff\xfe\r\n[[[\r\n=\r\n",
     "The driver package's INF file could not be read at line 2:\n\n", kNothingInstalled},
    {"UnclosedSectionName",
     "[Version]\r\nSignature=\"$Windows NT$\"\r\n[AX88772.Ndi\r\nAddReg=AX88772.Ndi.AddReg\r\n",
     "The driver package's INF file could not be read at line 3:\n\n", kNothingInstalled},
    {"NoVersionSection", "[AX88772.Ndi]\r\nAddReg=AX88772.Ndi.AddReg\r\n", kInfUnreadable,
     kNothingInstalled},
};

// Names the row in test names and messages.
void PrintTo(const BadInfRow& row, std::ostream* out) { *out << row.name; }

class RejectedInf : public FaultMatrix, public testing::WithParamInterface<BadInfRow> {};

// rundll32 reports nothing about the INF it was given, so the program asks the setup library
// first: an INF it cannot read, or one without the section, is named in the notice, and rundll32
// is not started.
TEST_P(RejectedInf, IsNamedInTheNoticeAndNothingRuns) {
  const BadInfRow& row = GetParam();
  ASSERT_TRUE(WriteTextFile(medium_ + kXpInf, row.content));
  ASSERT_TRUE(StartProgram("winxp64"));
  HWND notice = PressInstallAndWaitForNotice();
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(MessageBoxText(notice), row.notice + Base() + kXpInf + row.tail);
  EXPECT_EQ(Probe(notice).shownIcon, ShownIcon::kError);
  EXPECT_FALSE(IsInstalled()) << "the setup library installed from the rejected INF";
  EXPECT_FALSE(FileExists(standinLog_)) << "the stand-in ran on the 2000/XP road";
  ConfirmAndExpectExit(notice);
}

INSTANTIATE_TEST_SUITE_P(Infs, RejectedInf, testing::ValuesIn(kBadInfRows));

struct FailingInstallerRow {
  const char* name;
  const char* variable;
  const char* value;
  bool installs;     // whether the stand-in installs the package before it fails
  bool ends;         // whether it records its own end
  const char* tail;  // what the notice says after the failure
  // The exit code as the notice gives it, for a code that cannot be counts of packages, and
  // whether the system's words for it follow.
  const char* code = nullptr;
  bool worded = false;
  // Which of the driver package installer's log (1) and the device install log (2) are in the
  // Windows folder, where the notice names them.
  unsigned logsWritten = 0;
};

const FailingInstallerRow kFailingInstallerRows[] = {
    {"ExitsWithFailureCode", "QB7_STANDIN_EXIT", "0x80010000", true, true, ""},
    // There is no installation left to finish by restarting, but Windows must still restart.
    {"FailsAndAsksForARestart", "QB7_STANDIN_EXIT", "0xC0010000", true, true,
     "\nRestart Windows before you try the installation again."},
    // A package counted as failed is a failure, whether or not the failure bit is set.
    {"CountsAFailedPackageWithoutTheFailureBit", "QB7_STANDIN_EXIT", "0x00010000", true, true, ""},
    {"Crashes", "QB7_STANDIN_CRASH", "1", false, false, "", "0xC0000005"},
    // A Windows error code: its counts would claim 97 packages from a folder of one INF.
    {"EndsWithAWindowsErrorCode", "QB7_STANDIN_EXIT", "0x0000065B", true, true, "", "0x0000065B",
     true},
    {"NamesTheLogsWindowsWrote", "QB7_STANDIN_EXIT", "0xC0010000", true, true,
     "\nRestart Windows before you try the installation again.", nullptr, false, 3},
    {"NamesTheOneLogWindowsWrote", "QB7_STANDIN_EXIT", "0x80010000", true, true, "", nullptr, false,
     2},
};

// " (Function failed during execution)", as this system words the error `code` in English, the
// language the program speaks here; nothing where it has no English words for it.
std::string SystemWords(DWORD code) {
  char words[160] = "";
  if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                      MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), words, sizeof words, nullptr)) {
    return "";
  }
  std::string text = words;
  text.erase(text.find_last_not_of(". \r\n") + 1);
  return " (" + text + ")";
}

// The Windows folder's own logs; `name` below it.
std::string WindowsLog(const char* name) {
  char folder[MAX_PATH];
  UINT length = GetSystemWindowsDirectoryA(folder, sizeof folder);
  return std::string(folder, length < sizeof folder ? length : 0) + name;
}

// Names the row in test names and messages.
void PrintTo(const FailingInstallerRow& row, std::ostream* out) { *out << row.name; }

class FailingInstaller : public FaultMatrix,
                         public testing::WithParamInterface<FailingInstallerRow> {
 protected:
  void TearDown() override {
    for (const std::string& log : logs_) DeleteFileA(log.c_str());
    FaultMatrix::TearDown();
  }

  const std::string logs_[2] = {WindowsLog("\\DPINST.LOG"), WindowsLog("\\inf\\setupapi.dev.log")};
};

// The installer's failure code, or the exception code of its crash, must not end in "Install OK".
TEST_P(FailingInstaller, IsWaitedForAndReportedAsAFailure) {
  const FailingInstallerRow& row = GetParam();
  const bool written[2] = {(row.logsWritten & 1) != 0, (row.logsWritten & 2) != 0};
  for (int log : {0, 1}) {
    ASSERT_TRUE(!written[log] || WriteTextFile(logs_[log], "written by Windows\r\n"));
  }
  ASSERT_TRUE(StartProgram("win7", {{row.variable, row.value}}));
  HWND notice = PressInstallAndWaitForNotice();
  ASSERT_NE(notice, nullptr);
  EXPECT_FALSE(IsImageRunning(kVistaInstaller)) << "the notice came while the installer ran";
  std::string command = medium_ + "\\Driver\\Vista_64\\DPInst64.exe /lm /sw /sa";
  std::string expected = NoticeText(IDS_FAIL_INSTALLER_FAILED, command);
  if (row.code) {
    expected += std::string("\nThe installer ended with code ") + row.code +
                (row.worded ? SystemWords(strtoul(row.code, nullptr, 16)) : "") + ".";
  }
  expected += row.tail;
  if (row.logsWritten) {
    expected += "\nWindows wrote down the details in " +
                (written[0] ? logs_[0] + (written[1] ? " and " : "") : "") +
                (written[1] ? logs_[1] : "") + ".";
  }
  EXPECT_EQ(MessageBoxText(notice), expected);
  EXPECT_EQ(Probe(notice).shownIcon, ShownIcon::kError);
  std::vector<StandinRun> runs = ReadStandinLog(standinLog_);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].ended, row.ends);
  EXPECT_EQ(IsInstalled(), row.installs);
  ConfirmAndExpectExit(notice);
}

INSTANTIATE_TEST_SUITE_P(Installers, FailingInstaller, testing::ValuesIn(kFailingInstallerRows));

struct FollowUpRow {
  const char* name;
  const char* exitCode;
  const char* adapterIds;  // a present device with these hardware ids, or none
  const char* notice;
};

const FollowUpRow kFollowUpRows[] = {
    // Installed on a device, says the installer, but the device tree has no adapter.
    {"NeedsARestart", "0x40000001", nullptr,
     "Install OK\nRestart Windows to finish the installation.\n"
     "Plug in the adapter to finish the installation."},
    // Copied to the driver store but installed on no device: no adapter was plugged in.
    {"WaitsForTheAdapter", "0x00000100", nullptr,
     "Install OK\nPlug in the adapter to finish the installation."},
    {"NeedsBoth", "0x40000100", nullptr,
     "Install OK\nRestart Windows to finish the installation.\n"
     "Plug in the adapter to finish the installation."},
    // The device tree speaks for a plugged-in adapter, whatever the installer counted.
    {"AdapterPluggedIn", "0x00000100", "USB\\VID_0B95&PID_7720\0",
     "Install OK\nThe adapter is plugged in. Windows is still setting it up: it is ready when the "
     "network connection appears."},
    {"AdapterPluggedInAndRestart", "0x40000001", "USB\\VID_0B95&PID_7720\0",
     "Install OK\nRestart Windows to finish the installation.\nThe adapter is plugged in. "
     "Windows is still setting it up: it is ready when the network connection appears."},
};

// Names the row in test names and messages.
void PrintTo(const FollowUpRow& row, std::ostream* out) { *out << row.name; }

class InstallerFollowUp : public FaultMatrix, public testing::WithParamInterface<FollowUpRow> {};

// What the installer's exit code says is left to do follows "Install OK", with the information
// icon.
TEST_P(InstallerFollowUp, TellsTheUserWhatIsLeftToDo) {
  if (GetParam().adapterIds) {
    ASSERT_TRUE(PlantDeviceNode(GetParam().adapterIds, nullptr));
  }
  ASSERT_TRUE(StartProgram("win7", {{"QB7_STANDIN_EXIT", GetParam().exitCode}}));
  HWND notice = PressInstallAndWaitForNotice();
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(MessageBoxText(notice), GetParam().notice);
  EXPECT_EQ(Probe(notice).shownIcon, ShownIcon::kInformation);
  ExpectOneVistaRunFromTheMedium();
  ConfirmAndExpectExit(notice);
}

INSTANTIATE_TEST_SUITE_P(ExitCodes, InstallerFollowUp, testing::ValuesIn(kFollowUpRows));

// The program cannot tell its own installer from another process of the same name, so it waits
// for every one of them to end.
TEST_F(FaultMatrix, WaitsForAnotherProcessOfTheInstallersName) {
  std::string otherFolder = scratch_ + "\\other";
  std::string otherLog = scratch_ + "\\other.log";
  ASSERT_TRUE(MakeFolders(otherFolder));
  ASSERT_TRUE(CopyFileTo(medium_ + kVistaFolderTail + "\\" + kVistaInstaller,
                         otherFolder + "\\" + kVistaInstaller));
  Program other;
  ASSERT_TRUE(other.Start(
      otherFolder + "\\" + kVistaInstaller, otherFolder,
      {{kStandinLogVariable, otherLog}, {"QB7_STANDIN_DELAY_MS", kOtherStandinDelayMs}}));
  ASSERT_TRUE(PollUntil([&] { return ReadStandinLog(otherLog).size() == 1; }, kWindowTimeoutMs))
      << "the other process did not start";

  ASSERT_TRUE(StartProgram("win7"));
  ASSERT_TRUE(PressButton(dialog_, IDC_INSTALL));
  ASSERT_TRUE(PollUntil(
      [&] {
        std::vector<StandinRun> runs = ReadStandinLog(standinLog_);
        return runs.size() == 1 && runs[0].ended;
      },
      kInstallTimeoutMs))
      << "the program's own installer did not run to its end";
  bool noticeShown = PollUntil(
      [&] { return FindWindowOf(program_.Id(), kDialogClass, kNoticeCaption) != nullptr; },
      kNoNoticeWatchMs);
  EXPECT_FALSE(noticeShown) << "the notice came while another " << kVistaInstaller << " ran";
  EXPECT_TRUE(program_.IsRunning());

  other.Terminate();
  HWND notice = WaitForNotice();
  ASSERT_NE(notice, nullptr) << "no notice after the other process ended";
  Snapshot(notice);
  EXPECT_EQ(MessageBoxText(notice), kInstallOkPlugIn);
  ExpectOneVistaRunFromTheMedium();
  ConfirmAndExpectExit(notice);
}

// Two clicks queued back to back, the second arriving while the first one's installer runs:
// one installer, one notice, and the program ends with it.
TEST_F(FaultMatrix, InstallPressedTwiceRunsTheInstallerOnce) {
  ASSERT_TRUE(StartProgram("win7", {{"QB7_STANDIN_DELAY_MS", kStandinDelayMs}}));
  ASSERT_TRUE(PressButton(dialog_, IDC_INSTALL));
  ASSERT_TRUE(PressButton(dialog_, IDC_INSTALL));
  HWND notice = WaitForNotice();
  ASSERT_NE(notice, nullptr) << "no notice captioned \"Status\" appeared";
  Snapshot(notice);
  EXPECT_EQ(MessageBoxText(notice), kInstallOkPlugIn);
  ConfirmAndExpectExit(notice);
  EXPECT_EQ(FindWindowOf(program_.Id(), kDialogClass, kNoticeCaption), nullptr);
  ExpectOneVistaRunFromTheMedium();
}

struct PlantedProgramRow {
  const char* name;
  const char* folder;  // below the medium root
};

const PlantedProgramRow kPlantedProgramRows[] = {
    {"BesideTheProgram", ""},
    {"InTheDriverFolder", "\\Driver\\WinXP_64"},
};

// Names the row in test names and messages.
void PrintTo(const PlantedProgramRow& row, std::ostream* out) { *out << row.name; }

class PlantedRundll32 : public FaultMatrix,
                        public testing::WithParamInterface<PlantedProgramRow> {};

// A rundll32.exe on the medium, where a bare name would be looked for before the system folder,
// must not run in place of the system's: the stand-in put there would record that it ran.
TEST_P(PlantedRundll32, DoesNotRunAndTheSystemsInstallsTheInf) {
  std::string planted = Base() + GetParam().folder + "\\rundll32.exe";
  ASSERT_TRUE(CopyFileTo(medium_ + kVistaFolderTail + "\\" + kVistaInstaller, planted));
  ASSERT_TRUE(StartProgram("winxp64"));
  HWND notice = PressInstallAndWaitForNotice();
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(MessageBoxText(notice), kInstallOkPlugIn);
  EXPECT_FALSE(FileExists(standinLog_)) << "the planted rundll32.exe ran";
  EXPECT_TRUE(IsInstalled()) << "the system's setup library did not install the INF";
  ConfirmAndExpectExit(notice);
}

INSTANTIATE_TEST_SUITE_P(Places, PlantedRundll32, testing::ValuesIn(kPlantedProgramRows));

}  // namespace
