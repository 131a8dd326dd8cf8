// What every GUI case stands on: its own copy of the sample medium, the Windows version Wine
// reports to the program, the program started from the medium root with its installer dialog
// found, and a screenshot of the case in tests/screenshots/<case>.bmp.
//
//   class Install : public GuiCase {};
//   TEST_F(Install, ...) {
//     ASSERT_TRUE(StartProgram("win7"));
//     gui_driver::PressButton(dialog_, IDC_INSTALL);
//     HWND notice = WaitForNotice();
//     Snapshot(notice);
//     ...
//   }
// When a case fails while the program still runs, the screenshot is taken again at the end, so
// it shows what the failing case saw.
#ifndef QB7_TESTS_GUI_GUI_CASE_H
#define QB7_TESTS_GUI_GUI_CASE_H

#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "program.h"
#include "window_probe.h"

// Generous bounds: reached only when something is wrong, never a measure of speed.
const DWORD kExitTimeoutMs = 20000;
const DWORD kInstallTimeoutMs = 60000;
// A program starting while the machine is busy may take long: the wait ends early when it ends.
const DWORD kStartTimeoutMs = 60000;

const char kProgramFileName[] = "QB7_LX450.exe";
const char kNoticeCaption[] = "Status";
const char kAboutCaption[] = "About QB7_LX450";

class GuiCase : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the program from the medium root with Wine reporting `version` to it; true once its
  // installer dialog has appeared (then in dialog_).
  bool StartProgram(const char* version, const gui_driver::Environment& extra = {});
  // As StartProgram, with the installer dialog given a system menu before it initialises, as
  // Windows gives one (see gui_driver::SystemMenuGrant).
  bool StartProgramWithSystemMenu(const char* version);
  HWND WaitForNotice();
  HWND WaitForAbout();
  bool WaitForProgramExit();
  // Saves the screen once `window` is painted whole.
  void Snapshot(HWND window);
  // What only the program's own process can read about `window`; fails the case if it cannot.
  gui_driver::WindowProbe Probe(HWND window);

  std::string scratch_;
  // The medium root: the program's folder and current directory; "M:\" when a drive's root.
  std::string medium_;
  std::string standinLog_;
  gui_driver::Program program_;
  HWND dialog_ = nullptr;

 private:
  bool Launch(const char* version, const gui_driver::Environment& extra, bool withSystemMenu);
  bool WaitForDialog();
};

// The notice made from string `id`, word for word as the user reads it, naming `subject` (the
// folder or command) where it names one.
std::string NoticeText(UINT id, const std::string& subject);

// Where our test package, once installed, records it.
extern const char kPackageKey[];
extern const char kInstallOk[];
// "Install OK" with the line under it when no adapter is plugged in, and when Windows is still
// setting up one that is (Wine never reports a device started).
extern const char kInstallOkPlugIn[];
extern const char kInstallOkSettingUp[];
// The same on 2000/XP, where Windows' Found New Hardware window may wait for the user.
extern const char kInstallOkSettingUpXp[];
// What the Vista-family installer is started with.
extern const char kVistaParameters[];
POINT CentreOf(const RECT& rect);
bool SameRect(const RECT& first, const RECT& second);

#endif
