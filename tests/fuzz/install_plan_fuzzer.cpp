// Fuzzes the install plan: the first two input bytes are the probe (class and bitness), the
// rest, up to its first NUL, is the base directory, of any length and content. A plan either
// fits its buffers exactly as the plan table says or is refused; nothing is ever cut short.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../unit/code_page_932.h"
#include "fuzz_support.h"
#include "install/install_plan.h"

namespace {

struct ExpectedRow {
  const char* subdirectory;
  LaunchMode mode;
  const char* head;       // the command line before the driver directory
  const char* tail;       // and after it
  const char* imageName;  // what the elevated start watches for; none for a direct start
};

const char kInfHead[] = "rundll32.exe setupapi.dll,InstallHinfSection AX88772.Ndi 132 ";
const char kInfTail[] = "\\Ax88772.inf";
const char kSwitches[] = " /lm /sw /sa";
const ExpectedRow kXp32 = {"\\Driver\\Win2000_WinXP", DIRECT, kInfHead, kInfTail, nullptr};
const ExpectedRow kXp64 = {"\\Driver\\WinXP_64", DIRECT, kInfHead, kInfTail, nullptr};
const ExpectedRow kVista32 = {"\\Driver\\Vista_32", ELEVATED, "", "\\DPInst32.exe /lm /sw /sa",
                              "DPInst32.exe"};
const ExpectedRow kVista64 = {"\\Driver\\Vista_64", ELEVATED, "", "\\DPInst64.exe /lm /sw /sa",
                              "DPInst64.exe"};

// Classes 4 to 6 are the 2000/XP family and 7 the Vista family; no other class has a driver.
const ExpectedRow* ExpectedRowFor(uint8_t osClass, uint8_t bitness) {
  bool is64 = bitness == 64;
  if (osClass >= OS_NT4 && osClass <= OS_WINXP) return is64 ? &kXp64 : &kXp32;
  if (osClass == OS_VISTA) return is64 ? &kVista64 : &kVista32;
  return nullptr;
}

// The plan with bytes around it: the struct holds two buffers back to back, so an overrun of
// one would stay inside the object, where AddressSanitizer cannot see it.
struct GuardedPlan {
  char before[GuardedBuffer::kCanarySize];
  InstallPlan plan;
  char after[GuardedBuffer::kCanarySize];
};

bool AllBytesAre(const char* bytes, size_t size, char value) {
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] != value) return false;
  }
  return true;
}

bool CanariesIntact(const GuardedPlan& guarded) {
  return AllBytesAre(guarded.before, sizeof guarded.before, GuardedBuffer::kCanary) &&
         AllBytesAre(guarded.after, sizeof guarded.after, GuardedBuffer::kCanary);
}

// Characters a Windows path can hold; the current directory never has others.
bool IsPlainWindowsPath(const std::string& path) {
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (c < 0x20 || strchr("/\"<>|?*", c) != nullptr) return false;
    if (c == ':' && i != 1) return false;
  }
  return true;
}

// The elevated start must find the installer's own path and name in the command line, even
// when the base directory holds spaces.
void CheckElevatedCommandSplits(const InstallPlan& plan, const ExpectedRow& row) {
  char program[kProgramPathSize];
  const char* parameters = nullptr;
  Require(
      SplitCommandLine(plan.commandLine, kSingleByteCodePage, program, sizeof program, &parameters),
      "the elevated command's program part fits");
  Require(std::string(plan.driverDirectory) + "\\" + row.imageName == program,
          "the elevated command's program is the installer in the driver directory");
  Require(strcmp(kSwitches, parameters) == 0, "the installer gets its switches");
  char imageName[kImageNameSize];
  Require(ImageNameOf(program, kSingleByteCodePage, imageName, sizeof imageName),
          "the image name fits");
  Require(strcmp(row.imageName, imageName) == 0, "the elevated start watches the installer");
}

void CheckReadyPlan(const InstallPlan& plan, const ExpectedRow& row, const std::string& base) {
  Require(memchr(plan.driverDirectory, '\0', kDirectorySize) != nullptr,
          "the driver directory is terminated within its buffer");
  Require(memchr(plan.commandLine, '\0', kCommandLineSize) != nullptr,
          "the command line is terminated within its buffer");
  std::string driverDirectory = base + row.subdirectory;
  Require(driverDirectory == plan.driverDirectory, "the driver directory is base + subdirectory");
  Require(std::string(row.head) + driverDirectory + row.tail == plan.commandLine,
          "the command line holds the driver directory as the table says");
  Require(strcmp(plan.subdirectory, row.subdirectory) == 0, "the subdirectory is the row's");
  Require(plan.mode == row.mode, "the launch mode is the row's");
  if (row.mode == ELEVATED && IsPlainWindowsPath(base)) CheckElevatedCommandSplits(plan, row);
}

// The base is handed over in a block of exactly its size, so that a read past its terminator
// is seen by AddressSanitizer.
void CheckPlan(SystemProbe probe, const std::string& base) {
  std::vector<char> exactBase(base.c_str(), base.c_str() + base.size() + 1);
  GuardedPlan guarded;
  memset(&guarded, GuardedBuffer::kCanary, sizeof guarded);
  PlanResult result = BuildInstallPlan(probe, exactBase.data(), &guarded.plan);
  Require(CanariesIntact(guarded), "the plan writes nothing outside itself");

  const ExpectedRow* row = ExpectedRowFor(probe.osClass, probe.bitness);
  if (row == nullptr) {
    Require(result == PLAN_UNSUPPORTED, "classes without a driver get no plan");
    return;
  }
  size_t driverLength = base.size() + strlen(row->subdirectory);
  size_t commandLength = strlen(row->head) + driverLength + strlen(row->tail);
  bool fits = driverLength < kDirectorySize && commandLength < kCommandLineSize;
  Require(result == (fits ? PLAN_READY : PLAN_TOO_LONG),
          "a plan is ready exactly when it fits, and refused as too long otherwise");
  if (result == PLAN_READY) CheckReadyPlan(guarded.plan, *row, base);
}

// Trimming in a buffer sized exactly for the text, with canaries behind.
std::string CheckTrim(const std::string& base) {
  GuardedBuffer directory(base.size() + 1);
  memcpy(directory.Data(), base.c_str(), base.size() + 1);
  TrimTrailingBackslash(directory.Data(), kSingleByteCodePage);
  Require(directory.CanariesIntact(), "trimming writes nothing past the directory");
  std::string trimmed = directory.Data();
  bool endsInBackslash = !base.empty() && base.back() == '\\';
  Require(trimmed.size() == base.size() - (endsInBackslash ? 1 : 0),
          "trimming removes one trailing backslash, and only that");
  Require(base.compare(0, trimmed.size(), trimmed) == 0, "trimming keeps the rest as it was");
  return trimmed;
}

// The start of the last character, walking from the front one or two bytes at a time.
size_t LastCharacterStart(const std::string& text, const LeadBytes& leadBytes) {
  size_t last = 0;
  for (size_t i = 0; i < text.size();) {
    last = i;
    bool pair = leadBytes.lead[static_cast<unsigned char>(text[i])] && i + 1 < text.size();
    i += pair ? 2 : 1;
  }
  return last;
}

// In a double-byte code page a final 0x5C goes only when it is a character of its own.
void CheckDoubleByteTrim(const std::string& base) {
  const LeadBytes cp932 = CodePage932();
  GuardedBuffer directory(base.size() + 1);
  memcpy(directory.Data(), base.c_str(), base.size() + 1);
  TrimTrailingBackslash(directory.Data(), cp932);
  Require(directory.CanariesIntact(), "trimming writes nothing past the directory");
  bool endsInBackslash =
      !base.empty() && LastCharacterStart(base, cp932) == base.size() - 1 && base.back() == '\\';
  std::string expected = endsInBackslash ? base.substr(0, base.size() - 1) : base;
  Require(expected == directory.Data(), "only a final backslash character is removed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteReader reader(data, size);
  SystemProbe probe;
  probe.osClass = reader.Byte();
  probe.bitness = reader.Byte();
  const uint32_t kProcessorTypes[] = {586, 8664, 2200, 0};
  probe.processorType = kProcessorTypes[reader.Byte() % 4];
  std::vector<char> text = reader.RestAsString();
  std::string base = text.data();

  CheckPlan(probe, base);
  // As the install procedure does it: trim first, then plan.
  CheckPlan(probe, CheckTrim(base));
  CheckDoubleByteTrim(base);
  return 0;
}
