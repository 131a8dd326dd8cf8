// Usage: walk_sample EXE_PATH SCREENSHOT_DIR LOG_PATH
//
// Walks the typical road through the setup program once, as a user would, for `make run` on a
// machine without a real display: starts the program from the folder that holds it (the medium
// root), looks at its dialog, presses Install, reads the notice, confirms it, and tells what it
// saw. The stand-in installer records its run in LOG_PATH; screenshots go to SCREENSHOT_DIR as
// dialog.bmp and notice.bmp. Paths may be host paths (/...) or Windows paths.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "deadline.h"
#include "program.h"
#include "resource.h"
#include "screenshot.h"
#include "standin_log.h"
#include "window_access.h"
#include "wine_host.h"

using namespace gui_driver;

namespace {

const int kSystemLabels[] = {IDC_LABEL_XP32, IDC_LABEL_XP64, IDC_LABEL_VISTA32, IDC_LABEL_VISTA64};
const char kNoticeCaption[] = "Status";
// A real installer may take its time; the stand-in and rundll32 take seconds.
const DWORD kInstallTimeoutMs = 180000;
const DWORD kExitTimeoutMs = 20000;

struct Walk {
  std::string medium;
  std::string screenshotDir;
  std::string logPath;
  std::string systemLabel = "none";
  bool installEnabled = false;
  std::string notice;
  bool exited = false;
};

// A multi-line text with its further lines indented by `width`, under the first one's start.
std::string Indented(const std::string& text, size_t width) {
  std::string indented;
  for (size_t i = 0; i < text.size(); ++i) {
    bool startsLine = i > 0 && text[i - 1] == '\n' && text[i] != '\n';
    if (startsLine) indented.append(width, ' ');
    indented += text[i];
  }
  return indented;
}

std::string FolderOf(const std::string& path) {
  size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? "." : path.substr(0, separator);
}

// Screenshots are saved once the window is painted whole; a missing one is reported, not fatal.
void Screenshot(const Walk& walk, HWND window, const char* name) {
  WaitForPainted(window, kWindowTimeoutMs);
  std::string path = walk.screenshotDir + "\\" + name;
  if (SaveScreenshot(path)) {
    printf("  screenshot: %s\n", path.c_str());
  } else {
    printf("  screenshot %s could not be saved\n", path.c_str());
  }
}

void ReadDialog(Walk* walk, HWND dialog) {
  RECT rect = WindowRect(dialog);
  printf("Dialog shown at %ld,%ld, %ld x %ld pixels\n", rect.left, rect.top, rect.right - rect.left,
         rect.bottom - rect.top);
  for (int id : kSystemLabels) {
    ControlState label = ReadControl(dialog, id);
    if (label.enabled) walk->systemLabel = label.text;
  }
  walk->installEnabled = ReadControl(dialog, IDC_INSTALL).enabled;
  printf("  enabled system label: %s\n", walk->systemLabel.c_str());
  printf("  Install button: %s\n", walk->installEnabled ? "enabled" : "disabled");
}

// Install when the program offers it; on a system it does not serve, Cancel is all there is.
bool PressInstallAndReadNotice(Walk* walk, const Program& program, HWND dialog) {
  if (!walk->installEnabled) {
    printf("Install is disabled: pressing Cancel\n");
    return PressButton(dialog, IDC_CLOSE);
  }
  printf("Pressing Install and waiting for the notice\n");
  PressButton(dialog, IDC_INSTALL);
  HWND notice = WaitForWindow(program.Id(), kDialogClass, kNoticeCaption, kInstallTimeoutMs);
  if (!notice) {
    printf("  no notice captioned \"%s\" appeared\n", kNoticeCaption);
    return false;
  }
  walk->notice = MessageBoxText(notice);
  printf("  notice: %s%s\n", Indented(walk->notice, 10).c_str(),
         MessageBoxHasIcon(notice) ? "  (with an icon)" : "");
  Screenshot(*walk, notice, "notice.bmp");
  printf("Confirming the notice\n");
  return ConfirmMessageBox(notice);
}

void PrintSummary(const Walk& walk) {
  std::vector<StandinRun> runs = ReadStandinLog(walk.logPath);
  printf("\nSummary\n");
  printf("  system detected : %s\n", walk.systemLabel.c_str());
  if (runs.empty()) {
    printf("  folder entered  : not recorded (no installer stand-in ran)\n");
    printf("  installer run   : none recorded in %s\n", walk.logPath.c_str());
    printf("                    (only the stand-in for the Vista road's installer keeps one)\n");
  }
  for (const StandinRun& run : runs) {
    printf("  folder entered  : %s\n", run.cwd.c_str());
    printf("  installer run   : %s (%s)\n", run.cmdline.c_str(),
           run.ended ? "ended" : "did not end");
  }
  printf("  notice          : %s\n",
         walk.notice.empty() ? "none" : Indented(walk.notice, 20).c_str());
  printf("  program ended   : %s\n", walk.exited ? "yes" : "no");
}

bool WalkTheRoad(Walk* walk, const std::string& exePath) {
  Program program;
  printf("Starting %s in %s\n", exePath.c_str(), walk->medium.c_str());
  if (!program.Start(exePath, walk->medium, {{kStandinLogVariable, walk->logPath}})) {
    printf("  could not start it (error %lu)\n", program.LastError());
    return false;
  }
  HWND dialog = WaitForWindow(program.Id(), kDialogClass, nullptr, kWindowTimeoutMs);
  if (!dialog) {
    printf("  no dialog appeared\n");
    return false;
  }
  ReadDialog(walk, dialog);
  Screenshot(*walk, dialog, "dialog.bmp");
  bool pressed = PressInstallAndReadNotice(walk, program, dialog);
  DWORD exitCode = 0;
  walk->exited = pressed && program.WaitForExit(kExitTimeoutMs, &exitCode);
  if (walk->exited) printf("Program ended (exit code %lu)\n", exitCode);
  return walk->exited && (!walk->installEnabled || !walk->notice.empty());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: walk_sample EXE_PATH SCREENSHOT_DIR LOG_PATH\n");
    return 2;
  }
  std::string exePath = ToWindowsPath(argv[1]);
  Walk walk;
  walk.medium = FolderOf(exePath);
  walk.screenshotDir = ToWindowsPath(argv[2]);
  walk.logPath = ToWindowsPath(argv[3]);
  CreateDirectoryA(walk.screenshotDir.c_str(), nullptr);
  // The record is of this walk only.
  DeleteFileA(walk.logPath.c_str());
  DrawCaptionsInWine(true);
  bool walked = WalkTheRoad(&walk, exePath);
  DrawCaptionsInWine(false);
  PrintSummary(walk);
  return walked ? 0 : 1;
}
