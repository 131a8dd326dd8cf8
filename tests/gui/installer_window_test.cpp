// The installer dialog as the user first sees it: its frame and place, its controls, its
// pictures, and which system it marks under each reported Windows version.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "deadline.h"
#include "gui_case.h"
#include "registry_values.h"
#include "resource.h"
#include "window_access.h"

using namespace gui_driver;

namespace {

// Controls without an id of their own carry IDC_STATIC, -1.
const int kNoId = -1;
const LONG kShownChild = WS_CHILD | WS_VISIBLE;

// Each control's whole style is the template's, bit for bit, with the one change the program
// makes under win7: "Windows Vista 64bit" is enabled.
struct ExpectedControl {
  int id;
  const char* className;
  const char* text;  // null: the text is not a string (the banner's is a bitmap id)
  LONG style;
};

const std::vector<ExpectedControl> kTemplateControls = {
    {IDOK, "Button", "OK", WS_CHILD | WS_TABSTOP | BS_DEFPUSHBUTTON},
    {IDCANCEL, "Button", "Cancel", WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON},
    {kNoId, "Static", nullptr, kShownChild | SS_BITMAP},
    {kNoId, "Button", "QB7-LX450 Drivers", kShownChild | BS_GROUPBOX},
    {IDC_LABEL_XP32, "Static", "Windows 2K/XP 32bit",
     kShownChild | SS_LEFT | WS_DISABLED | WS_GROUP},
    {IDC_LABEL_XP64, "Static", "Windows 2K/XP 64bit",
     kShownChild | SS_LEFT | WS_DISABLED | WS_GROUP},
    {IDC_LABEL_VISTA32, "Static", "Windows Vista 32bit",
     kShownChild | SS_LEFT | WS_DISABLED | WS_GROUP},
    {IDC_LABEL_VISTA64, "Static", "Windows Vista 64bit", kShownChild | SS_LEFT | WS_GROUP},
    {IDC_INSTALL, "Button", "Install", kShownChild | WS_TABSTOP | BS_PUSHBUTTON},
    {IDC_CLOSE, "Button", "Cancel", kShownChild | WS_TABSTOP | BS_PUSHBUTTON},
};

// The dialog manager gives the default-button look to the push button that has the focus and
// takes it from the others, so that one bit of a push button depends on where the focus is.
LONG FocusDependentBits(const ExpectedControl& control) {
  bool isPushButton = std::string(control.className) == "Button" &&
                      (control.style & BS_TYPEMASK) <= BS_DEFPUSHBUTTON;
  return isPushButton ? BS_DEFPUSHBUTTON : 0;
}

const int kSystemLabels[] = {IDC_LABEL_XP32, IDC_LABEL_XP64, IDC_LABEL_VISTA32, IDC_LABEL_VISTA64};
// The banner bitmap's size in pixels; a bitmap static takes the size of its picture.
const LONG kBannerWidth = 350;
const LONG kBannerHeight = 50;
const LONG kCentringTolerance = 2;

// The one static that shows a bitmap; an empty state when there is none.
ControlState FindBanner(HWND dialog) {
  for (const ControlState& control : ReadControls(dialog)) {
    if (control.className == "Static" && (control.style & SS_TYPEMASK) == SS_BITMAP) return control;
  }
  return ControlState();
}

class InstallerWindow : public GuiCase {};

TEST_F(InstallerWindow, HasNoCaptionAndIsCentredOnTheWorkArea) {
  ASSERT_TRUE(StartProgram("win7"));
  Snapshot(dialog_);
  ControlState window = ReadWindow(dialog_);
  EXPECT_EQ(window.style & WS_CAPTION, 0) << std::hex << window.style;
  EXPECT_NE(window.style & WS_POPUP, 0) << std::hex << window.style;
  EXPECT_NE(window.exStyle & WS_EX_APPWINDOW, 0) << std::hex << window.exStyle;
  EXPECT_EQ(window.text, "");
  RECT workArea;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0));
  POINT centre = CentreOf(window.rect);
  POINT workCentre = CentreOf(workArea);
  EXPECT_NEAR(centre.x, workCentre.x, kCentringTolerance);
  EXPECT_NEAR(centre.y, workCentre.y, kCentringTolerance);
}

TEST_F(InstallerWindow, HasTheTemplateControlsInTheirOrder) {
  ASSERT_TRUE(StartProgram("win7"));
  Snapshot(dialog_);
  std::vector<ControlState> controls = ReadControls(dialog_);
  ASSERT_EQ(controls.size(), kTemplateControls.size());
  for (size_t i = 0; i < controls.size(); ++i) {
    const ControlState& actual = controls[i];
    const ExpectedControl& expected = kTemplateControls[i];
    SCOPED_TRACE(testing::Message() << "control " << i << " (id " << expected.id << ")");
    EXPECT_EQ(actual.id, expected.id);
    EXPECT_EQ(actual.className, expected.className);
    if (expected.text) {
      EXPECT_EQ(actual.text, expected.text);
    }
    LONG compared = ~FocusDependentBits(expected);
    EXPECT_EQ(actual.style & compared, expected.style & compared)
        << std::hex << actual.style << " instead of " << expected.style;
  }
}

// Install has the focus when the dialog opens; Tab takes it to Cancel and back, past the hidden
// OK and Cancel buttons and the labels.
TEST_F(InstallerWindow, TabMovesTheFocusBetweenInstallAndCancel) {
  ASSERT_TRUE(StartProgram("win7"));
  HWND install = GetDlgItem(dialog_, IDC_INSTALL);
  HWND cancel = GetDlgItem(dialog_, IDC_CLOSE);
  DWORD thread = program_.ThreadId();
  ASSERT_TRUE(PollUntil([&] { return FocusOf(thread) == install; }, kWindowTimeoutMs))
      << "the focus is on " << FocusOf(thread) << ", not on Install";
  for (HWND next : {cancel, install}) {
    ASSERT_TRUE(PostKeyPress(dialog_, thread, VK_TAB));
    EXPECT_TRUE(PollUntil([&] { return FocusOf(thread) == next; }, kWindowTimeoutMs))
        << "Tab took the focus to " << FocusOf(thread) << " instead of " << next;
  }
}

TEST_F(InstallerWindow, ShowsTheBannerAndCarriesTheProgramIcon) {
  ASSERT_TRUE(StartProgram("win7"));
  Snapshot(dialog_);
  ControlState banner = FindBanner(dialog_);
  ASSERT_NE(banner.window, nullptr);
  EXPECT_NE(StaticImage(banner.window, IMAGE_BITMAP), nullptr);
  EXPECT_EQ(banner.rect.right - banner.rect.left, kBannerWidth);
  EXPECT_EQ(banner.rect.bottom - banner.rect.top, kBannerHeight);
  WindowProbe probe = Probe(dialog_);
  EXPECT_TRUE(probe.hasBigIcon);
  EXPECT_TRUE(probe.hasSmallIcon);
}

enum class Family { kNone, kXp, kVista };

struct MarkingRow {
  const char* name;
  const char* version;  // as Wine names it
  Family family;        // whose label is marked
  bool installEnabled;
};

// The prefix decides the processor: every system is 64-bit in a 64-bit prefix, 32-bit in a
// 32-bit one.
const MarkingRow kMarkingRows[] = {
    {"WinXp", "winxp", Family::kXp, true},    {"WinXp64", "winxp64", Family::kXp, true},
    {"Win7", "win7", Family::kVista, true},   {"Win10", "win10", Family::kVista, true},
    {"Win98", "win98", Family::kNone, false}, {"Nt351", "nt351", Family::kNone, true},
};

int MarkedLabel(Family family) {
  bool is64 = PrefixBitness() == 64;
  switch (family) {
    case Family::kXp: return is64 ? IDC_LABEL_XP64 : IDC_LABEL_XP32;
    case Family::kVista: return is64 ? IDC_LABEL_VISTA64 : IDC_LABEL_VISTA32;
    case Family::kNone: break;
  }
  return 0;
}

// Names the row in test names and messages.
void PrintTo(const MarkingRow& row, std::ostream* out) { *out << row.name; }

class SystemMarking : public GuiCase, public testing::WithParamInterface<MarkingRow> {};

TEST_P(SystemMarking, EnablesOnlyTheLabelOfTheRunningSystem) {
  const MarkingRow& row = GetParam();
  ASSERT_TRUE(StartProgram(row.version));
  Snapshot(dialog_);
  for (int label : kSystemLabels) {
    EXPECT_EQ(ReadControl(dialog_, label).enabled, label == MarkedLabel(row.family))
        << "label " << label;
  }
  EXPECT_EQ(ReadControl(dialog_, IDC_INSTALL).enabled, row.installEnabled);
  EXPECT_TRUE(ReadControl(dialog_, IDC_CLOSE).enabled);
}

INSTANTIATE_TEST_SUITE_P(Versions, SystemMarking, testing::ValuesIn(kMarkingRows));

}  // namespace
