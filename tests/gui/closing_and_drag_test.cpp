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
  // The window then follows the mouse while it is dragged, so the test can see it follow. The
  // mouse rests where the dialog will appear, centred on the work area: under X, a later move
  // into the window would reach the program twice, the second time late (see mouse_input.h).
  void SetUp() override {
    GuiCase::SetUp();
    ASSERT_TRUE(ShowWindowContentsWhileDragging(true));
    RECT workArea;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0));
    ASSERT_TRUE(MoveMouseTo(CentreOf(workArea)));
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
};

TEST_F(Drag, PressOnTheBackgroundMovesTheWindowWithTheMouse) {
  ASSERT_TRUE(StartProgram("win7"));
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

// Press on Cancel, move off it and let go outside: no click, no drag. The mouse rests off the
// dialog while it appears: the program hears of a pointer resting inside from X, late enough on
// a loaded machine to take it off Cancel while it is held. The only late moves it can hear of are
// then onto Cancel, and neither the press nor the release follows them.
TEST_F(Drag, PressOnAButtonNeitherMovesTheWindowNorClicks) {
  RECT workArea;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0));
  ASSERT_TRUE(MoveMouseTo({workArea.left, workArea.top}));
  ASSERT_TRUE(StartProgram("win7"));
  RECT before = WindowRect(dialog_);
  ASSERT_FALSE(PtInRect(&before, {workArea.left, workArea.top}));
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
