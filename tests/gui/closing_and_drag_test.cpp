// Closing the installer dialog without installing, and moving it: it has no caption bar, so a
// press on its background drags it, while a press on a button stays the button's.
#include <gtest/gtest.h>

#include "deadline.h"
#include "gui_case.h"
#include "mouse_input.h"
#include "resource.h"
#include "scratch_folder.h"
#include "window_access.h"

using namespace gui_driver;

namespace {

enum class CloseBy { kCancelButton, kCancelCommand, kEscapeKey };

struct ClosingRow {
  const char* name;
  const char* version;
  CloseBy closeBy;
};

const ClosingRow kClosingRows[] = {
    {"CancelButton", "win7", CloseBy::kCancelButton},
    // Install is disabled on the 9x family; Cancel still closes.
    {"CancelButtonOnWin98", "win98", CloseBy::kCancelButton},
    {"CancelCommand", "win7", CloseBy::kCancelCommand},
    {"EscapeKey", "win7", CloseBy::kEscapeKey},
};

// Names the row in test names and messages.
void PrintTo(const ClosingRow& row, std::ostream* out) { *out << row.name; }

class Closing : public GuiCase, public testing::WithParamInterface<ClosingRow> {
 protected:
  bool Close(CloseBy closeBy) {
    switch (closeBy) {
      case CloseBy::kCancelButton: return PressButton(dialog_, IDC_CLOSE);
      case CloseBy::kCancelCommand: return PostCommand(dialog_, IDCANCEL);
      case CloseBy::kEscapeKey: return PostKeyPress(dialog_, program_.ThreadId(), VK_ESCAPE);
    }
    return false;
  }
};

TEST_P(Closing, EndsTheProgramWithoutInstalling) {
  const ClosingRow& row = GetParam();
  ASSERT_TRUE(StartProgram(row.version));
  Snapshot(dialog_);
  ASSERT_TRUE(Close(row.closeBy));
  EXPECT_TRUE(WaitForProgramExit()) << "the program did not end";
  EXPECT_FALSE(FileExists(standinLog_)) << "an installer ran";
}

INSTANTIATE_TEST_SUITE_P(Ways, Closing, testing::ValuesIn(kClosingRows));

// How far the mouse moves while its button is held; the screen has room for it.
const LONG kDragX = 40;
const LONG kDragY = 30;
// From the window's left edge into its client area, left of every control.
const LONG kMarginInset = 4;

class Drag : public GuiCase {
 protected:
  // The window then follows the mouse while it is dragged, so the test can see it follow.
  //
  // The mouse rests off the dialog, at the work area's corner, while the dialog appears. Under X
  // the program also hears of the pointer over its window from X, late, as a move to where the
  // pointer was (see mouse_input.h). The platform starts a drag where the cursor was when the
  // program answered the press on its background (with a press on a caption it posts itself);
  // had the mouse rested where the dialog appears, a late move there between the press and that
  // answer would start the drag at the resting point, and the window would follow the mouse at
  // that distance. Off the dialog, the only late moves the program can hear of are to places the
  // case itself moved to over the dialog.
  void SetUp() override {
    GuiCase::SetUp();
    ASSERT_TRUE(ShowWindowContentsWhileDragging(true));
    RECT workArea;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0));
    rest_ = {workArea.left, workArea.top};
    ASSERT_TRUE(MoveMouseTo(rest_));
  }

  // Starts the program, whose dialog must appear away from the resting mouse.
  void StartAwayFromTheMouse() {
    ASSERT_TRUE(StartProgram("win7"));
    RECT placed = WindowRect(dialog_);
    ASSERT_FALSE(PtInRect(&placed, rest_)) << "the dialog appeared under the resting mouse";
  }

  void TearDown() override {
    ShowWindowContentsWhileDragging(false);
    GuiCase::TearDown();
  }

  // A point of the dialog's own background, between its left edge and its controls.
  POINT BackgroundPoint() {
    RECT client;
    GetClientRect(dialog_, &client);
    POINT point = {kMarginInset, (client.bottom - client.top) / 2};
    EXPECT_EQ(ChildWindowFromPointEx(dialog_, point, CWP_SKIPINVISIBLE), dialog_)
        << "the chosen point lies on a control";
    ClientToScreen(dialog_, &point);
    return point;
  }

  static POINT Offset(POINT point, LONG dx, LONG dy) { return {point.x + dx, point.y + dy}; }

  POINT rest_ = {};
};

TEST_F(Drag, PressOnTheBackgroundMovesTheWindowWithTheMouse) {
  ASSERT_NO_FATAL_FAILURE(StartAwayFromTheMouse());
  RECT before = WindowRect(dialog_);
  RECT expected = before;
  OffsetRect(&expected, kDragX, kDragY);
  POINT start = BackgroundPoint();
  POINT end = Offset(start, kDragX, kDragY);
  ASSERT_TRUE(PressLeftButtonAt(start));
  // A hand is slower than the program: it moves once the platform has begun moving the window.
  bool moving = PollUntil([&] { return IsInMoveLoop(program_.ThreadId()); }, kWindowTimeoutMs);
  bool followed =
      moving && MoveMouseUntil(
                    end, [&] { return SameRect(WindowRect(dialog_), expected); }, kWindowTimeoutMs);
  ASSERT_TRUE(ReleaseLeftButtonAt(end));
  ASSERT_TRUE(moving) << "the press on the background did not start a window move";
  EXPECT_TRUE(followed) << "window at " << WindowRect(dialog_).left << ","
                        << WindowRect(dialog_).top << ", expected at " << expected.left << ","
                        << expected.top;
  EXPECT_TRUE(PollUntil([&] { return !IsInMoveLoop(program_.ThreadId()); }, kWindowTimeoutMs))
      << "the window move did not end with the release";
  Snapshot(dialog_);
  EXPECT_TRUE(SameRect(WindowRect(dialog_), expected)) << "the window did not stay where it went";
  EXPECT_TRUE(program_.IsRunning());
}

// Press on Cancel, move off it and let go outside: no click, no drag. A late move to a resting
// point inside could take the mouse off Cancel while it is held; the only late moves the program
// can hear of are onto Cancel, and neither the press nor the release follows them.
TEST_F(Drag, PressOnAButtonNeitherMovesTheWindowNorClicks) {
  ASSERT_NO_FATAL_FAILURE(StartAwayFromTheMouse());
  RECT before = WindowRect(dialog_);
  HWND cancel = GetDlgItem(dialog_, IDC_CLOSE);
  POINT outside = {before.right + kDragX, before.bottom + kDragY};
  ASSERT_TRUE(PressLeftButtonAt(CentreOf(WindowRect(cancel))));
  bool pushed = PollUntil([&] { return IsButtonPushed(cancel); }, kWindowTimeoutMs);
  bool moving = IsInMoveLoop(program_.ThreadId());
  bool letGo = MoveMouseUntil(
      outside, [&] { return !IsButtonPushed(cancel); }, kWindowTimeoutMs);
  ASSERT_TRUE(ReleaseLeftButtonAt(outside));
  ASSERT_TRUE(pushed) << "Cancel did not take the press";
  EXPECT_FALSE(moving) << "the press on Cancel started a window move";
  EXPECT_TRUE(letGo) << "Cancel stayed pressed with the mouse off it";
  // The button holds the mouse until the release reaches it.
  ASSERT_TRUE(
      PollUntil([&] { return CaptureOf(program_.ThreadId()) == nullptr; }, kWindowTimeoutMs));
  Snapshot(dialog_);
  EXPECT_TRUE(SameRect(WindowRect(dialog_), before));
  EXPECT_TRUE(program_.IsRunning()) << "the release outside Cancel closed the program";
  EXPECT_EQ(FindWindowOf(program_.Id(), kDialogClass, nullptr), dialog_);
}

}  // namespace
