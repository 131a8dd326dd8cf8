// The notice after Install as the program words it for reports Wine's device tree never gives
// (a device with a problem code), shown through a stand-in for the message box.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "install_notice.h"
#include "resources.h"

namespace {

std::string gText;
UINT gType = 0;

int WINAPI RecordNotice(HWND, LPCSTR text, LPCSTR, UINT type) {
  gText = text;
  gType = type;
  return IDOK;
}

const std::string kFromMaker =
    "Windows 10 and 11 may refuse a driver that Microsoft has not signed or that memory "
    "integrity cannot run: ask the adapter's maker for a current driver.";

const char kProblemLine[] =
    "Install OK\nThe adapter is plugged in, but Windows reports a problem with it (code ";

// Every problem code gets the warning icon, a line on what Device Manager says it means and,
// where it names them, the logs Windows wrote.
TEST(InstallNotice, SaysWhatAProblemCodeMeansWithTheWarningIcon) {
  const struct {
    uint32_t code;
    std::string meaning;
    bool windows10OrLater = false;
  } kRows[] = {
      {10,
       "It cannot start. Unplug it, plug it in again, and restart Windows if that does not help."},
      {14, "Restart Windows: it cannot work properly until then."},
      {18, "Its driver must be installed again. Run this setup again, or use Update Driver in "
           "Device Manager."},
      {22, "It is disabled. Enable it in Device Manager."},
      {28, "Its driver is not installed. Run this setup again, or use Update Driver in Device "
           "Manager."},
      {31, "Windows cannot load the driver the adapter needs."},
      {39, "Windows cannot load its driver, which may be damaged or missing."},
      {39, "Windows cannot load its driver, which may be damaged or missing.\n" + kFromMaker, true},
      {43, "Windows has stopped it because it reported problems.", true},
      {52, "Windows cannot verify the digital signature of its driver, so it does not load it."},
      {52,
       "Windows cannot verify the digital signature of its driver, so it does not load it.\n" +
           kFromMaker,
       true},
      {56, "Windows has not finished setting it up. If it stays so, restart Windows."},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.code);
    InstallReport report = {};
    report.outcome = INSTALL_FINISHED;
    report.adapter = {ADAPTER_PROBLEM, row.code, row.windows10OrLater};
    strcpy(report.logs[0], "C:\\windows\\DPINST.LOG");
    ShowInstallNoticeWith(RecordNotice, nullptr, report);
    EXPECT_EQ(kProblemLine + std::to_string(row.code) + " in Device Manager).\n" + row.meaning +
                  "\nWindows wrote down the details in C:\\windows\\DPINST.LOG.",
              gText);
    EXPECT_EQ(UINT(MB_OK | MB_ICONWARNING), gType);
  }
}

// The system's words for the installer's code in the language the program speaks, German here, or
// none: never in the thread's language, which is English in this test.
TEST(InstallNotice, WordsTheInstallersCodeOnlyInTheLanguageItSpeaks) {
  InstallReport report = {};
  report.outcome = INSTALL_FAILED;
  report.exitCodeUncountable = true;
  report.exitCode = 0x65B;
  AfxSetResourceLanguage(0x0407);
  ShowInstallNoticeWith(RecordNotice, nullptr, report);
  AfxSetResourceLanguage(0x0409);
  EXPECT_NE(gText.find("\nDas Installationsprogramm wurde mit Code 0x0000065B"), std::string::npos);
  EXPECT_EQ(gText.find("Function failed"), std::string::npos) << gText;
}

}  // namespace
