#include "install_notice.h"

#include <cstring>

#include "../install/system_library.h"
#include "resource.h"
#include "resources.h"

namespace {

const size_t kNoticeSize = 2048;
// Problem codes below this have a string slot for their meaning.
const uint32_t kProblemMeanings = 100;

// Text that only grows and never overflows its buffer: what does not fit is left out.
class NoticeText {
 public:
  NoticeText(char* text, size_t size) : text_(text), size_(size) { text_[0] = '\0'; }

  void Append(const char* piece) {
    for (; *piece; ++piece) AppendCharacter(*piece);
  }

  void AppendCharacter(char c) {
    if (length_ + 1 >= size_) return;
    text_[length_++] = c;
    text_[length_] = '\0';
  }

  void AppendNumber(unsigned number) {
    char digits[12];
    char* first = digits + sizeof digits - 1;
    *first = '\0';
    do {
      *--first = static_cast<char>('0' + number % 10);
      number /= 10;
    } while (number);
    Append(first);
  }

  // The string `id`, with the subject in place of its first "%s", the detail in place of the
  // second and the number in place of "%u".
  void AppendString(UINT id, const char* subject = "", const char* detail = "",
                    unsigned number = 0) {
    // Room for the longest string in a double-byte code page, where a character takes two bytes.
    char format[512];
    AfxLoadString(id, format, sizeof format);
    const char* texts[] = {subject, detail};
    size_t textsUsed = 0;
    for (const char* c = format; *c; ++c) {
      bool placeholder = c[0] == '%' && (c[1] == 's' || c[1] == 'u');
      if (!placeholder) {
        AppendCharacter(*c);
      } else if (*++c == 'u') {
        AppendNumber(number);
      } else if (textsUsed < sizeof texts / sizeof texts[0]) {
        Append(texts[textsUsed++]);
      }
    }
  }

 private:
  char* text_;
  size_t size_;
  size_t length_ = 0;
};

typedef DWORD(WINAPI* FormatMessageFn)(DWORD, LPCVOID, DWORD, DWORD, LPSTR, DWORD, va_list*);

// "0x0000065B", with the system's words for the Windows error code it holds where it has some:
// a plain code, or one wrapped as an HRESULT of the Win32 facility. The low word of any other
// code, such as a crash's 0xC0000005, would be worded as an error it is not. The words are those
// of the language the program speaks or none: language 0 would take the thread's, user's or
// system's, which the program may not speak, or which the code page writes as question marks.
void WordExitCode(uint32_t code, char* text, size_t size) {
  char words[160] = "";
  uint32_t kind = code >> 16;
  auto formatMessage = LateFunctionOf<FormatMessageFn>(FORMAT_MESSAGE);
  if ((kind == 0 || kind == 0x8007) && formatMessage &&
      !formatMessage(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     code & 0xFFFF, AfxGetResourceLanguage(), words, sizeof words, nullptr)) {
    words[0] = '\0';
  }
  size_t length = strnlen(words, sizeof words - 1);
  while (length &&
         (words[length - 1] == '.' || static_cast<unsigned char>(words[length - 1]) <= ' ')) {
    --length;
  }
  words[length] = '\0';
  char hex[16];
  wsprintfA(hex, "0x%08X", code);
  NoticeText codeText(text, size);
  codeText.Append(hex);
  if (!length) return;
  codeText.Append(" (");
  codeText.Append(words);
  codeText.Append(")");
}

UINT MessageFor(const InstallReport& report) {
  switch (report.outcome) {
    case INSTALL_FINISHED: return IDS_INSTALL_OK;
    case INSTALL_UNSUPPORTED: return IDS_FAIL_UNSUPPORTED;
    case INSTALL_PATH_TOO_LONG: return IDS_FAIL_PATH_TOO_LONG;
    case INSTALL_FOLDER_MISSING: return IDS_FAIL_FOLDER_MISSING;
    case INSTALL_NOT_STARTED: return IDS_FAIL_NOT_STARTED;
    case INSTALL_FAILED: return IDS_FAIL_INSTALLER_FAILED;
    case INSTALL_PACKAGE_MISSING: return IDS_FAIL_PACKAGE_MISSING;
    case INSTALL_INF_REJECTED:
      return report.infLine ? IDS_FAIL_INF_REJECTED_AT_LINE : IDS_FAIL_INF_REJECTED;
    case INSTALL_INF_NO_SECTION: return IDS_FAIL_INF_NO_SECTION;
  }
  return IDS_FAIL_NOT_STARTED;
}

// The device tree speaks for the adapter where it could be read; otherwise the installer's
// counts say whether the adapter still has to be plugged in.
void AppendAdapterLines(const InstallReport& report, NoticeText* text) {
  const AdapterReport& adapter = report.adapter;
  UINT line = 0;
  switch (adapter.state) {
    case ADAPTER_NOT_CHECKED:
      if (report.followUps & FOLLOW_UP_PLUG_IN) line = IDS_FOLLOW_UP_PLUG_IN;
      break;
    case ADAPTER_ABSENT: line = IDS_FOLLOW_UP_PLUG_IN; break;
    case ADAPTER_READY: line = IDS_ADAPTER_READY; break;
    case ADAPTER_SETTING_UP: line = IDS_ADAPTER_SETTING_UP; break;
    case ADAPTER_PROBLEM: line = IDS_ADAPTER_PROBLEM; break;
  }
  if (!line) return;
  text->Append("\n");
  text->AppendString(line, "", "", adapter.problem);
  if (adapter.state == ADAPTER_SETTING_UP && report.infRoad) {
    text->Append("\n");
    text->AppendString(IDS_ADAPTER_SETTING_UP_XP);
  }
  char meaning[512];
  if (adapter.state == ADAPTER_PROBLEM && adapter.problem < kProblemMeanings &&
      AfxLoadString(IDS_PROBLEM_MEANING + adapter.problem, meaning, sizeof meaning) > 0) {
    text->Append("\n");
    text->Append(meaning);
  }
  if (NeedsDriverFromMaker(adapter)) {
    text->Append("\n");
    text->AppendString(IDS_DRIVER_FROM_MAKER);
  }
}

// "Install OK" stays the first line; what the user still has to do follows, a line each. After a
// failure the restart gets a line of its own: there is no installation left to finish.
void AppendFollowUps(const InstallReport& report, NoticeText* text) {
  if (report.exitCodeUncountable) {
    char code[192];
    WordExitCode(report.exitCode, code, sizeof code);
    text->Append("\n");
    text->AppendString(IDS_INSTALLER_CODE, code);
  }
  if (report.followUps & FOLLOW_UP_RESTART) {
    text->Append("\n");
    text->AppendString(report.outcome == INSTALL_FAILED ? IDS_FAILURE_RESTART
                                                        : IDS_FOLLOW_UP_RESTART);
  }
  if (report.outcome == INSTALL_FINISHED) AppendAdapterLines(report, text);
}

// Filled only after a failure or a device problem, with the logs that are there.
void AppendLogLine(const InstallReport& report, NoticeText* text) {
  if (!report.logs[0][0]) return;
  text->Append("\n");
  text->AppendString(report.logs[1][0] ? IDS_LOG_FILES : IDS_LOG_FILE, report.logs[0],
                     report.logs[1]);
}

// Every line under "Install OK" is something to know or to do.
UINT IconFor(const InstallReport& report) {
  if (report.outcome != INSTALL_FINISHED) return MB_ICONERROR;
  if (report.adapter.state == ADAPTER_PROBLEM) return MB_ICONWARNING;
  return report.followUps || report.adapter.state != ADAPTER_NOT_CHECKED ? MB_ICONINFORMATION : 0;
}

}  // namespace

void ShowInstallNoticeWith(MessageBoxFn show, HWND owner, const InstallReport& report) {
  char caption[64];
  AfxLoadString(IDS_STATUS_CAPTION, caption, sizeof caption);
  char buffer[kNoticeSize];
  NoticeText text(buffer, sizeof buffer);
  text.AppendString(MessageFor(report), report.subject, report.sectionsLookedFor, report.infLine);
  AppendFollowUps(report, &text);
  AppendLogLine(report, &text);
  show(owner, buffer, caption, MB_OK | IconFor(report));
}

void ShowInstallNotice(HWND owner, const InstallReport& report) {
  ShowInstallNoticeWith(MessageBoxA, owner, report);
}
