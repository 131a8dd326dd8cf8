#include "gui_case.h"

#include "deadline.h"
#include "registry_values.h"
#include "resource.h"
#include "scratch_folder.h"
#include "screenshot.h"
#include "standin_log.h"
#include "window_access.h"
#include "wine_host.h"

using namespace gui_driver;

namespace {

const char kVersionKey[] = "Software\\Wine\\AppDefaults\\QB7_LX450.exe";

std::string ProgramPath() { return ToWindowsPath(QB7_GUI_EXE); }

// Copies the folder tree at `source` to `target`, which must not exist yet.
bool CopyTree(const std::string& source, const std::string& target) {
  if (!MakeFolders(target)) return false;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((source + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool copied = true;
  do {
    std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    copied = (isFolder ? CopyTree(source + "\\" + name, target + "\\" + name)
                       : CopyFileTo(source + "\\" + name, target + "\\" + name)) &&
             copied;
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return copied;
}

// The case's full name, made fit for a file name: "Suite.Case", or "Prefix_Suite.Case_Row"
// with the row's printed name in place of its index.
std::string CaseName() {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  if (info->value_param()) name.erase(name.rfind('/') + 1).append(info->value_param());
  for (char& c : name) {
    if (c == '/' || c == '\\' || c == ':') c = '_';
  }
  return name;
}

}  // namespace

// Wine draws the message boxes' and About box's captions itself, so screenshots show them.
void GuiCase::SetUp() {
  // Wine shows windows on the X display its environment names; without one, every wait for a
  // window would only time out.
  ASSERT_GT(GetEnvironmentVariableA("DISPLAY", nullptr, 0), 0u)
      << "no X display: run GUI tests on one, e.g. tools/with_display.sh BUILD_DIR ctest ... "
         "(docs/testing.md, Running one test)";
  scratch_ = MakeScratchFolder();
  ASSERT_FALSE(scratch_.empty());
  medium_ = scratch_ + "\\medium";
  standinLog_ = scratch_ + "\\standin.log";
  ASSERT_TRUE(CopyTree(ToWindowsPath(QB7_GUI_MEDIUM), medium_));
  // This build's program, whatever the medium was last laid out with.
  ASSERT_TRUE(CopyFileTo(ProgramPath(), medium_ + "\\" + kProgramFileName));
  ASSERT_TRUE(DrawCaptionsInWine(true));
}

// A failed case keeps its scratch folder for a look at what the program left there.
void GuiCase::TearDown() {
  if (HasFailure() && program_.IsRunning()) Snapshot(dialog_);
  program_.Terminate();
  RemoveDeviceNode();
  DrawCaptionsInWine(false);
  DeleteRegistryValue(HKEY_CURRENT_USER, kVersionKey, "Version");
  if (HasFailure()) {
    printf("scratch folder kept: %s\n", scratch_.c_str());
  } else {
    RemoveTree(scratch_);
  }
}

bool GuiCase::StartProgram(const char* version, const Environment& extra) {
  return Launch(version, extra, false);
}

bool GuiCase::StartProgramWithSystemMenu(const char* version) { return Launch(version, {}, true); }

bool GuiCase::Launch(const char* version, const Environment& extra, bool withSystemMenu) {
  if (!SetReportedVersion(kProgramFileName, version)) return false;
  Environment environment = extra;
  environment.push_back({kStandinLogVariable, standinLog_});
  // A drive root keeps its backslash ("M:\"); any other folder has none.
  std::string root = medium_.back() == '\\' ? medium_ : medium_ + "\\";
  std::string path = root + kProgramFileName;
  bool started = withSystemMenu ? program_.StartSuspended(path, medium_, environment)
                                : program_.Start(path, medium_, environment);
  if (!started) {
    ADD_FAILURE() << "the program could not be started: error " << program_.LastError();
    return false;
  }
  if (!withSystemMenu) return WaitForDialog();
  SystemMenuGrant grant(ToWindowsPath(QB7_GUI_PROBE_DLL), program_.ThreadId());
  // The grant is needed until the dialog has initialised, which it has once it shows.
  return grant.IsActive() && program_.Resume() && WaitForDialog();
}

// Waits for the dialog while the program runs: one that ended says so at once, with its exit
// code, and one that runs without a dialog only once the bound for a hang has passed.
bool GuiCase::WaitForDialog() {
  PollUntil(
      [&] {
        dialog_ = FindWindowOf(program_.Id(), kDialogClass, nullptr);
        return dialog_ || !program_.IsRunning();
      },
      kStartTimeoutMs);
  if (dialog_) return true;
  DWORD exitCode = 0;
  if (program_.WaitForExit(0, &exitCode)) {
    ADD_FAILURE() << "the program ended with exit code " << exitCode << " before its dialog showed";
  } else {
    ADD_FAILURE() << "the program ran for " << kStartTimeoutMs << " ms without showing its dialog";
  }
  return false;
}

HWND GuiCase::WaitForNotice() {
  return WaitForWindow(program_.Id(), kDialogClass, kNoticeCaption, kInstallTimeoutMs);
}

HWND GuiCase::WaitForAbout() {
  return WaitForWindow(program_.Id(), kDialogClass, kAboutCaption, kWindowTimeoutMs);
}

bool GuiCase::WaitForProgramExit() { return program_.WaitForExit(kExitTimeoutMs); }

void GuiCase::Snapshot(HWND window) {
  if (window) WaitForPainted(window, kWindowTimeoutMs);
  std::string folder = ToWindowsPath(QB7_GUI_SCREENSHOTS);
  MakeFolders(folder);
  EXPECT_TRUE(SaveScreenshot(folder + "\\" + CaseName() + ".bmp"));
}

WindowProbe GuiCase::Probe(HWND window) {
  WindowProbe probe;
  EXPECT_TRUE(ProbeWindow(ToWindowsPath(QB7_GUI_PROBE_DLL), window, &probe, kWindowTimeoutMs))
      << "the probe did not answer from inside the program";
  return probe;
}

const char kPackageKey[] = "Software\\QB7_LX450 Test Package";
const char kInstallOk[] = "Install OK";
const char kInstallOkPlugIn[] = "Install OK\nPlug in the adapter to finish the installation.";
const char kInstallOkSettingUp[] =
    "Install OK\nThe adapter is plugged in. Windows is still setting it up: it is ready when the "
    "network connection appears.";
const char kInstallOkSettingUpXp[] =
    "Install OK\nThe adapter is plugged in. Windows is still setting it up: it is ready when the "
    "network connection appears.\nFinish Windows' Found New Hardware window if it asks you "
    "something.";
const char kVistaParameters[] = " /lm /sw /sa";

namespace {

// Written out here rather than read from the program, so that a changed wording or a lost
// subject shows. A notice that names a subject has it between `text` and `afterSubject`.
struct NoticeWording {
  UINT id;
  const char* text;
  const char* afterSubject;  // null: the notice names nothing
};

const NoticeWording kNoticeWordings[] = {
    {IDS_INSTALL_OK, kInstallOk, nullptr},
    {IDS_FAIL_UNSUPPORTED,
     "This version of Windows is not supported by this driver package.\n\nNothing was installed.",
     nullptr},
    {IDS_FAIL_PATH_TOO_LONG,
     "The path of the folder this program was started from is too long.\n\nNothing was "
     "installed. Copy the setup files to a folder with a shorter path and run the program again.",
     nullptr},
    {IDS_FAIL_FOLDER_MISSING, "The driver folder was not found:\n\n", "\n\nNothing was installed."},
    {IDS_FAIL_NOT_STARTED,
     "The driver installer could not be started, or permission to run it was refused:\n\n",
     "\n\nNothing was installed."},
    {IDS_FAIL_PACKAGE_MISSING,
     "The driver package (Ax88772.inf) was not found in the driver folder:\n\n",
     "\n\nNothing was installed."},
    {IDS_FAIL_INSTALLER_FAILED,
     "The driver installer reported a failure, or stopped unexpectedly:\n\n",
     "\n\nThe driver may not be installed."},
};

}  // namespace

std::string NoticeText(UINT id, const std::string& subject) {
  for (const NoticeWording& wording : kNoticeWordings) {
    if (wording.id != id) continue;
    std::string text = wording.text;
    return wording.afterSubject ? text + subject + wording.afterSubject : text;
  }
  ADD_FAILURE() << "no wording for notice " << id;
  return "";
}

POINT CentreOf(const RECT& rect) {
  return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

bool SameRect(const RECT& first, const RECT& second) { return EqualRect(&first, &second) != FALSE; }
