// Test stand-in for the driver package installer (DPInst32.exe / DPInst64.exe): it records how it
// was started, installs the test INF beside it through setupapi, then waits, crashes or exits as
// the QB7_STANDIN_* environment variables ask, so tests can watch the setup program drive it.
#include <windows.h>
#include <ctype.h>
#include <setupapi.h>
#include <stdlib.h>

namespace {

const char kLogVariable[] = "QB7_STANDIN_LOG";
const char kDelayVariable[] = "QB7_STANDIN_DELAY_MS";
const char kExitVariable[] = "QB7_STANDIN_EXIT";
const char kCrashVariable[] = "QB7_STANDIN_CRASH";
const char kDefaultLogName[] = "qb7_standin.log";
const char kInfName[] = "Ax88772.inf";
// Mode 132: the INF's folder is the source (128), restart prompt only when needed (4).
const char kInstallPrefix[] = "AX88772.Ndi 132 ";
const DWORD kPathCapacity = 1024;
const DWORD kNumberCapacity = 32;
// A command line can be 32767 characters long; the record keeps what fits.
const size_t kLineCapacity = 34000;

// Text that only grows and never overflows: what does not fit is dropped.
struct TextBuffer {
  char text[kLineCapacity];
  size_t length;
};

void Append(TextBuffer* buffer, const char* text) {
  while (*text != '\0' && buffer->length + 1 < sizeof(buffer->text)) {
    buffer->text[buffer->length++] = *text++;
  }
  buffer->text[buffer->length] = '\0';
}

void AppendNumber(TextBuffer* buffer, unsigned long number) {
  char digits[kNumberCapacity];
  wsprintfA(digits, "%lu", number);
  Append(buffer, digits);
}

// Returns false when the variable is unset, empty or longer than the buffer.
bool ReadVariable(const char* name, char* value, DWORD capacity) {
  DWORD length = GetEnvironmentVariableA(name, value, capacity);
  if (length == 0 || length >= capacity) {
    value[0] = '\0';
    return false;
  }
  return true;
}

// Accepts decimal or 0x-prefixed hexadecimal; anything else gives the fallback.
DWORD ReadNumber(const char* name, DWORD fallback) {
  char value[kNumberCapacity];
  if (!ReadVariable(name, value, sizeof(value))) return fallback;
  bool isHex = value[0] == '0' && (value[1] == 'x' || value[1] == 'X');
  const char* digits = isHex ? value + 2 : value;
  // strtoul would also take a sign or leading blanks, which no exit code needs.
  if (!isxdigit(static_cast<unsigned char>(digits[0]))) return fallback;
  char* end = NULL;
  unsigned long number = strtoul(digits, &end, isHex ? 16 : 10);
  if (end == digits || *end != '\0') return fallback;
  return static_cast<DWORD>(number);
}

bool CopyBounded(char* target, DWORD capacity, const char* first, const char* second) {
  size_t firstLength = lstrlenA(first);
  size_t secondLength = lstrlenA(second);
  if (firstLength + secondLength + 1 > capacity) return false;
  CopyMemory(target, first, firstLength);
  CopyMemory(target + firstLength, second, secondLength + 1);
  return true;
}

bool FindLogPath(char* path, DWORD capacity) {
  if (ReadVariable(kLogVariable, path, capacity)) return true;
  char folder[kPathCapacity];
  if (!ReadVariable("TEMP", folder, sizeof(folder))) {
    DWORD length = GetTempPathA(sizeof(folder), folder);
    if (length == 0 || length >= sizeof(folder)) return false;
  }
  size_t length = lstrlenA(folder);
  const char* separator = (length > 0 && folder[length - 1] == '\\') ? "" : "\\";
  char name[sizeof(kDefaultLogName) + 1];
  CopyBounded(name, sizeof(name), separator, kDefaultLogName);
  return CopyBounded(path, capacity, folder, name);
}

// Several stand-ins may run at once: append-only access keeps each record whole.
void WriteLogLine(const TextBuffer& line) {
  char path[kPathCapacity];
  if (!FindLogPath(path, sizeof(path))) return;
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line.text, static_cast<DWORD>(line.length), &written, NULL);
  CloseHandle(file);
}

bool GetOwnPath(char* path, DWORD capacity) {
  DWORD length = GetModuleFileNameA(NULL, path, capacity);
  return length > 0 && length < capacity;
}

void LogStart() {
  static TextBuffer line;
  char folder[kPathCapacity];
  DWORD folderLength = GetCurrentDirectoryA(sizeof(folder), folder);
  if (folderLength == 0 || folderLength >= sizeof(folder)) folder[0] = '\0';
  char image[kPathCapacity];
  if (!GetOwnPath(image, sizeof(image))) image[0] = '\0';
  Append(&line, "pid=");
  AppendNumber(&line, GetCurrentProcessId());
  Append(&line, "\tcwd=");
  Append(&line, folder);
  Append(&line, "\tcmdline=");
  Append(&line, GetCommandLineA());
  Append(&line, "\timage=");
  Append(&line, image);
  Append(&line, "\r\n");
  WriteLogLine(line);
}

void LogEnd() {
  static TextBuffer line;
  Append(&line, "end pid=");
  AppendNumber(&line, GetCurrentProcessId());
  Append(&line, "\r\n");
  WriteLogLine(line);
}

bool FindInfBesideSelf(char* path, DWORD capacity) {
  char image[kPathCapacity];
  if (!GetOwnPath(image, sizeof(image))) return false;
  char* lastSeparator = NULL;
  for (char* c = image; *c != '\0'; ++c) {
    if (*c == '\\' || *c == '/') lastSeparator = c;
  }
  if (lastSeparator == NULL) return false;
  lastSeparator[1] = '\0';
  if (!CopyBounded(path, capacity, image, kInfName)) return false;
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The real installer would install the package; ours makes the INF's AddReg observable instead.
void InstallPackage() {
  char infPath[kPathCapacity];
  if (!FindInfBesideSelf(infPath, sizeof(infPath))) return;
  char command[sizeof(kInstallPrefix) + kPathCapacity];
  if (!CopyBounded(command, sizeof(command), kInstallPrefix, infPath)) return;
  InstallHinfSectionA(NULL, NULL, command, 0);
}

// Ends the process with the exception code as its exit code, without a debugger or crash dialog.
LONG WINAPI EndWithoutDebugger(EXCEPTION_POINTERS*) { return EXCEPTION_EXECUTE_HANDLER; }

// Stands for an installer that dies: no install, no end record, an access-violation exit code.
void CrashIfAsked() {
  if (ReadNumber(kCrashVariable, 0) != 1) return;
  // Wine 8 ignores SEM_NOGPFAULTERRORBOX and, given a display, holds the crashed process behind
  // its crash dialog until someone closes it; the filter keeps a test from hanging on it.
  SetErrorMode(SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(EndWithoutDebugger);
  // Raised rather than provoked: GCC may delete a write through a null pointer.
  RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, NULL);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  LogStart();
  CrashIfAsked();
  InstallPackage();
  Sleep(ReadNumber(kDelayVariable, 0));
  LogEnd();
  return static_cast<int>(ReadNumber(kExitVariable, 0));
}
