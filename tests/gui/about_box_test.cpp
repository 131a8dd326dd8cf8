// The About box, reached through the installer dialog's system menu: the menu entry, the system
// commands that open it, what it shows, how it closes, and the dialog being usable afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "deadline.h"
#include "gui_case.h"
#include "resource.h"
#include "window_access.h"

using namespace gui_driver;

namespace {

const char kAboutMenuText[] = "&About QB7_LX450...";
const char kVersionLine[] = "QB7_LX450 Version 1.0";
const char kNoticeLine[] = "(C) 2026 the QB7_LX450 team";
const LONG kCentringTolerance = 2;
// A command that opens nothing is handled at once; one that opens a modal box never returns
// while the box shows.
const DWORD kCommandTimeoutMs = 5000;

bool HasText(const std::vector<ControlState>& controls, const std::string& text) {
  for (const ControlState& control : controls) {
    if (control.text == text) return true;
  }
  return false;
}

class AboutBox : public GuiCase {
 protected:
  HWND OpenAbout() {
    EXPECT_TRUE(PostSystemCommand(dialog_, IDM_ABOUT));
    return WaitForAbout();
  }

  // Once the About box has gone, the dialog takes input again and Cancel still ends it.
  void ExpectDialogUsableAgain() {
    EXPECT_TRUE(PollUntil([&] { return IsWindowEnabled(dialog_) != FALSE; }, kWindowTimeoutMs))
        << "the installer dialog stayed disabled";
    ASSERT_TRUE(PressButton(dialog_, IDC_CLOSE));
    EXPECT_TRUE(WaitForProgramExit()) << "Cancel did not end the program";
  }
};

// Windows gives the caption-less dialog a system menu and Wine does not, so the case gives it
// one as Windows would; the program then adds its entry to whatever menu the platform gave.
TEST_F(AboutBox, SystemMenuEndsWithTheAboutEntry) {
  ASSERT_TRUE(StartProgramWithSystemMenu("win7"));
  Snapshot(dialog_);
  WindowProbe probe = Probe(dialog_);
  ASSERT_TRUE(probe.hasSystemMenu) << "the dialog has no system menu";
  const std::vector<MenuItem>& menu = probe.systemMenu;
  ASSERT_GE(menu.size(), 2u);
  const MenuItem& separator = menu[menu.size() - 2];
  const MenuItem& about = menu.back();
  EXPECT_NE(separator.type & MFT_SEPARATOR, 0u);
  EXPECT_EQ(about.type & (MFT_SEPARATOR | MFT_BITMAP | MFT_OWNERDRAW), 0u);
  EXPECT_EQ(about.id, static_cast<UINT>(IDM_ABOUT));
  EXPECT_EQ(about.text, kAboutMenuText);
}

struct CommandRow {
  const char* name;
  WPARAM command;
  bool opensAbout;
};

// The About command is 0x0010 with its low four bits free; the ids either side open nothing.
const CommandRow kCommandRows[] = {
    {"Id000F", 0x000F, false}, {"Id0010", 0x0010, true},  {"Id0015", 0x0015, true},
    {"Id001F", 0x001F, true},  {"Id0020", 0x0020, false},
};

// Names the row in test names and messages.
void PrintTo(const CommandRow& row, std::ostream* out) { *out << row.name; }

class AboutCommand : public AboutBox, public testing::WithParamInterface<CommandRow> {
 protected:
  void ExpectAboutShown(HWND about) {
    std::vector<ControlState> controls = ReadControls(about);
    EXPECT_EQ(GetWindow(about, GW_OWNER), dialog_);
    EXPECT_FALSE(IsWindowEnabled(dialog_)) << "the installer dialog took input under the box";
    POINT centre = CentreOf(WindowRect(about));
    POINT dialogCentre = CentreOf(WindowRect(dialog_));
    EXPECT_NEAR(centre.x, dialogCentre.x, kCentringTolerance);
    EXPECT_NEAR(centre.y, dialogCentre.y, kCentringTolerance);
    EXPECT_TRUE(HasText(controls, kVersionLine));
    EXPECT_TRUE(HasText(controls, kNoticeLine));
    EXPECT_EQ(ReadControl(about, IDOK).text, "OK");
  }
};

TEST_P(AboutCommand, OpensTheAboutBoxOnlyForItsIds) {
  const CommandRow& row = GetParam();
  ASSERT_TRUE(StartProgram("win7"));
  if (!row.opensAbout) {
    EXPECT_TRUE(SendSystemCommandAndWait(dialog_, row.command, kCommandTimeoutMs))
        << "the command did not return: something modal opened";
    Snapshot(dialog_);
    EXPECT_EQ(FindWindowOf(program_.Id(), kDialogClass, kAboutCaption), nullptr);
    ExpectDialogUsableAgain();
    return;
  }
  ASSERT_TRUE(PostSystemCommand(dialog_, row.command));
  HWND about = WaitForAbout();
  ASSERT_NE(about, nullptr) << "no About box appeared";
  Snapshot(about);
  ExpectAboutShown(about);
  ASSERT_TRUE(PressButton(about, IDOK));
  EXPECT_TRUE(WaitForWindowGone(about, kWindowTimeoutMs));
  ExpectDialogUsableAgain();
}

INSTANTIATE_TEST_SUITE_P(Commands, AboutCommand, testing::ValuesIn(kCommandRows));

// Where the installer dialog has been dragged: three quarters of it past one or two edges of the
// work area.
struct EdgeRow {
  const char* name;
  int pastX;  // -1: past the left edge, 1: past the right edge, 0: where it was
  int pastY;  // the same for the top and bottom edges
};

const EdgeRow kEdgeRows[] = {
    {"Left", -1, 0}, {"Right", 1, 0}, {"Top", 0, -1}, {"Bottom", 0, 1}, {"BottomRight", 1, 1},
};

// Names the row in test names and messages.
void PrintTo(const EdgeRow& row, std::ostream* out) { *out << row.name; }

// Along one axis: where a span of `length` at `start` goes to lie mostly past the low (-1) or
// high (1) end of the work area's [low, high), or stays (0).
LONG StartPast(int past, LONG start, LONG length, LONG low, LONG high) {
  if (past < 0) return low - length * 3 / 4;
  if (past > 0) return high - length / 4;
  return start;
}

// Along one axis: where the About box belongs, against the edge the dialog went past, or centred
// over the dialog.
LONG ExpectedStart(int past, LONG length, LONG dialogCentre, LONG low, LONG high) {
  if (past < 0) return low;
  if (past > 0) return high - length;
  return dialogCentre - length / 2;
}

// Only where the work area is smaller than the screen at every edge can a box kept within the
// screen be told from one kept within the work area.
bool IsInsetAtEveryEdge(const RECT& workArea) {
  return workArea.left > 0 && workArea.top > 0 && workArea.right < GetSystemMetrics(SM_CXSCREEN) &&
         workArea.bottom < GetSystemMetrics(SM_CYSCREEN);
}

class AboutPlacement : public AboutBox, public testing::WithParamInterface<EdgeRow> {};

// Centred over such a dialog the About box would be partly off-screen; it stays in the work area.
TEST_P(AboutPlacement, StaysInTheWorkAreaWhenTheDialogIsPastAnEdge) {
  const EdgeRow& row = GetParam();
  RECT workArea;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0));
  ASSERT_TRUE(IsInsetAtEveryEdge(workArea))
      << "this display's work area is the whole screen, so the case cannot tell the two apart: "
         "run the GUI tests under tools/with_display.sh, as make test does";
  ASSERT_TRUE(StartProgram("win7"));
  RECT placed = WindowRect(dialog_);
  LONG x =
      StartPast(row.pastX, placed.left, placed.right - placed.left, workArea.left, workArea.right);
  LONG y =
      StartPast(row.pastY, placed.top, placed.bottom - placed.top, workArea.top, workArea.bottom);
  OffsetRect(&placed, x - placed.left, y - placed.top);
  ASSERT_TRUE(SetWindowPos(dialog_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
  ASSERT_TRUE(PollUntil([&] { return SameRect(WindowRect(dialog_), placed); }, kWindowTimeoutMs));
  HWND about = OpenAbout();
  ASSERT_NE(about, nullptr) << "no About box appeared";
  Snapshot(about);
  RECT box = WindowRect(about);
  POINT dialogCentre = CentreOf(placed);
  EXPECT_NEAR(
      box.left,
      ExpectedStart(row.pastX, box.right - box.left, dialogCentre.x, workArea.left, workArea.right),
      kCentringTolerance);
  EXPECT_NEAR(
      box.top,
      ExpectedStart(row.pastY, box.bottom - box.top, dialogCentre.y, workArea.top, workArea.bottom),
      kCentringTolerance);
}

INSTANTIATE_TEST_SUITE_P(Edges, AboutPlacement, testing::ValuesIn(kEdgeRows));

enum class CloseBy { kOkButton, kEscapeKey, kCloseBox };

struct AboutClosingRow {
  const char* name;
  CloseBy closeBy;
};

const AboutClosingRow kAboutClosingRows[] = {
    {"OkButton", CloseBy::kOkButton},
    {"EscapeKey", CloseBy::kEscapeKey},
    {"CloseBox", CloseBy::kCloseBox},
};

// Names the row in test names and messages.
void PrintTo(const AboutClosingRow& row, std::ostream* out) { *out << row.name; }

class AboutClosing : public AboutBox, public testing::WithParamInterface<AboutClosingRow> {
 protected:
  bool Close(HWND about, CloseBy closeBy) {
    switch (closeBy) {
      case CloseBy::kOkButton: return PressButton(about, IDOK);
      case CloseBy::kEscapeKey: return PostKeyPress(about, program_.ThreadId(), VK_ESCAPE);
      // What the caption's close box sends.
      case CloseBy::kCloseBox: return PostSystemCommand(about, SC_CLOSE);
    }
    return false;
  }
};

TEST_P(AboutClosing, ClosesAndLeavesTheDialogUsable) {
  ASSERT_TRUE(StartProgram("win7"));
  HWND about = OpenAbout();
  ASSERT_NE(about, nullptr) << "no About box appeared";
  Snapshot(about);
  ASSERT_TRUE(Close(about, GetParam().closeBy));
  EXPECT_TRUE(WaitForWindowGone(about, kWindowTimeoutMs)) << "the About box stayed";
  EXPECT_TRUE(program_.IsRunning()) << "closing the About box ended the program";
  ExpectDialogUsableAgain();
}

INSTANTIATE_TEST_SUITE_P(Ways, AboutClosing, testing::ValuesIn(kAboutClosingRows));

}  // namespace
