// The program in the user's language: the installer dialog, the About box and the notice after
// Install speak the language that Wine's locale gives, as the program's own resources word it,
// and every text fits its control. Where the code page cannot write the UI language, English shows.
// Each row runs in a test process of its own started in that row's locale
// (tests/gui/CMakeLists.txt): Wine takes a process's UI language and code page from the locale it
// is started in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "deadline.h"
#include "gui_case.h"
#include "resource.h"
#include "window_access.h"
#include "wine_host.h"

using namespace gui_driver;

namespace {

struct LanguageRow {
  const char* name;
  LANGID uiLanguage;  // what the row's locale gives Wine
  UINT codePage;
  LANGID shown;  // the block of the program's resources the user reads
};

const LanguageRow kLanguageRows[] = {
    {"German", 0x0407, 1252, 0x0407},
    {"French", 0x040C, 1252, 0x040C},
    {"Spanish", 0x0C0A, 1252, 0x0C0A},
    {"PortugueseBrazil", 0x0416, 1252, 0x0416},
    {"Russian", 0x0419, 1251, 0x0419},
    {"Japanese", 0x0411, 932, 0x0411},
    {"ChineseSimplified", 0x0804, 936, 0x0804},
    {"ChineseTraditional", 0x0404, 950, 0x0404},
    {"Korean", 0x0412, 949, 0x0412},
    {"JapaneseUiOnWesternCodePage", 0x0411, 1252, 0x0409},
    {"GermanUiOnCyrillicCodePage", 0x0407, 1251, 0x0409},
};

// Names the row in messages and screenshots.
void PrintTo(const LanguageRow& row, std::ostream* out) { *out << row.name; }

std::string Utf8(const std::wstring& text) {
  char utf8[4096] = "";
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
  return utf8;
}

INT_PTR CALLBACK IgnoreMessages(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// As UTF-8, so that a failure message shows the text whatever the code page.
std::string WideText(HWND window) {
  WCHAR text[1024] = L"";
  GetWindowTextW(window, text, 1024);
  return Utf8(text);
}

// The program's file, read as data: its resources in one language, as the program has them.
class ProgramResources {
 public:
  explicit ProgramResources(LANGID language)
      : module_(
            LoadLibraryExA(ToWindowsPath(QB7_GUI_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)),
        language_(language) {}
  ~ProgramResources() {
    if (module_) FreeLibrary(module_);
  }

  std::string String(UINT id) const {
    const WCHAR* entry = static_cast<const WCHAR*>(Find(RT_STRING, id / 16 + 1));
    for (UINT i = 0; entry && i < id % 16; ++i) entry += 1 + *entry;
    return entry ? Utf8(std::wstring(entry + 1, *entry)) : "";
  }

  // The texts of the dialog template's controls, in template order, as the platform makes them:
  // from a hidden copy of the dialog.
  std::vector<std::string> DialogTexts(UINT id) const {
    const BYTE* found = static_cast<const BYTE*>(Find(RT_DIALOG, id));
    std::vector<BYTE> hidden(found, found + (found ? SizeofResource(module_, resource_) : 0));
    std::vector<std::string> texts;
    if (hidden.size() < 16) return texts;
    // The style is the first field of a classic template, the fourth of an extended one.
    bool extended = hidden[2] == 0xFF && hidden[3] == 0xFF;
    reinterpret_cast<DWORD*>(hidden.data())[extended ? 3 : 0] &= ~WS_VISIBLE;
    HWND copy = CreateDialogIndirectParamW(module_, reinterpret_cast<DLGTEMPLATE*>(hidden.data()),
                                           nullptr, IgnoreMessages, 0);
    for (HWND child = GetWindow(copy, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      texts.push_back(WideText(child));
    }
    if (copy) DestroyWindow(copy);
    return texts;
  }

 private:
  const void* Find(LPCSTR type, UINT id) const {
    resource_ = module_ ? FindResourceExA(module_, type, MAKEINTRESOURCEA(id), language_) : nullptr;
    return resource_ ? LockResource(LoadResource(module_, resource_)) : nullptr;
  }

  HMODULE module_;
  LANGID language_;
  mutable HRSRC resource_ = nullptr;
};

class SpokenLanguage : public GuiCase, public testing::WithParamInterface<LanguageRow> {
 protected:
  void ExpectTextsFit(HWND window) {
    std::vector<TextFit> fits = Probe(window).textFits;
    EXPECT_FALSE(fits.empty()) << "no control's text was measured";
    for (const TextFit& fit : fits) {
      EXPECT_TRUE(fit.needed.cx <= fit.room.cx && fit.needed.cy <= fit.room.cy)
          << "control " << fit.id << "'s text needs " << fit.needed.cx << " x " << fit.needed.cy
          << " px and has " << fit.room.cx << " x " << fit.room.cy;
    }
  }

  // The window's controls say what the template `id` in the row's language says, and fit.
  void ExpectSpeaks(HWND window, const ProgramResources& resources, UINT id) {
    std::vector<std::string> texts = resources.DialogTexts(id);
    std::vector<ControlState> controls = ReadControls(window);
    ASSERT_EQ(controls.size(), texts.size()) << "template " << id;
    for (size_t i = 0; i < texts.size(); ++i) {
      // A picture's text is the number of its resource: U+FFFF, then the number.
      if (texts[i].rfind("\xEF\xBF\xBF", 0) == 0) continue;
      EXPECT_EQ(WideText(controls[i].window), texts[i]) << "template " << id << ", control " << i;
    }
    ExpectTextsFit(window);
  }

  // The About box or the notice, whose captions are the language's.
  HWND WaitForBoxBesideTheDialog(DWORD timeoutMs) {
    HWND box = nullptr;
    PollUntil(
        [&] {
          for (HWND window : TopLevelWindowsOf(program_.Id())) {
            if (window != dialog_ && ClassName(window) == kDialogClass) box = window;
          }
          return box != nullptr;
        },
        timeoutMs);
    return box;
  }
};

TEST_P(SpokenLanguage, DialogAboutBoxAndNoticeSpeakItAndFit) {
  const LanguageRow& row = GetParam();
  ASSERT_EQ(GetUserDefaultUILanguage(), row.uiLanguage)
      << "this row runs in its own locale (tests/gui/CMakeLists.txt), generated by "
         "tools/install-deps.sh";
  ASSERT_EQ(GetACP(), row.codePage);
  ProgramResources resources(row.shown);
  ASSERT_TRUE(StartProgram("win7"));
  Snapshot(dialog_);
  ExpectSpeaks(dialog_, resources, IDD_INSTALLER);

  ASSERT_TRUE(PostSystemCommand(dialog_, IDM_ABOUT));
  HWND about = WaitForBoxBesideTheDialog(kWindowTimeoutMs);
  ASSERT_NE(about, nullptr) << "no About box appeared";
  ExpectSpeaks(about, resources, IDD_ABOUT);
  ASSERT_TRUE(PressButton(about, IDOK));
  ASSERT_TRUE(WaitForWindowGone(about, kWindowTimeoutMs));

  ASSERT_TRUE(PressButton(dialog_, IDC_INSTALL));
  HWND notice = WaitForBoxBesideTheDialog(kInstallTimeoutMs);
  ASSERT_NE(notice, nullptr) << "no notice appeared";
  Snapshot(notice);
  EXPECT_EQ(WideText(notice), resources.String(IDS_STATUS_CAPTION));
  EXPECT_EQ(WideText(GetDlgItem(notice, 0xFFFF)),
            resources.String(IDS_INSTALL_OK) + "\n" + resources.String(IDS_FOLLOW_UP_PLUG_IN));
  ExpectTextsFit(notice);
  ASSERT_TRUE(ConfirmMessageBox(notice));
  EXPECT_TRUE(WaitForProgramExit());
}

// Named by the row, which tests/gui/CMakeLists.txt selects by name.
INSTANTIATE_TEST_SUITE_P(Languages, SpokenLanguage, testing::ValuesIn(kLanguageRows),
                         [](const testing::TestParamInfo<LanguageRow>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
