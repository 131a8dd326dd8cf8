// Fuzzes what the elevated start does with an installer command line: split it into program
// and parameters, take the image name of the program, and compare names as the process lookup
// does. The input is any bytes; up to its first NUL it is the command line, and what follows
// that NUL is a second name for the comparison.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../unit/code_page_932.h"
#include "fuzz_support.h"
#include "install/command_line.h"

namespace {

const size_t kMaxInputSize = 300;
// Output buffers smaller than in the program, to reach every "does not fit" edge.
const size_t kSmallSizes[] = {0, 1, 2, 3, 16};

// The split rule written out again the slow way: the first space after which, before any
// backslash, comes the end of the line, a "/", or a ":" when the space stands past index 4.
size_t ExpectedProgramEnd(const std::string& line) {
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != ' ') continue;
    size_t stop = line.find_first_of("\\/:", i + 1);
    if (stop == std::string::npos || line[stop] == '/') return i;
    if (line[stop] == ':' && i > 4) return i;
  }
  return line.size();
}

// What follows the last "\" or ":" at index 1 or later, with every double quote dropped.
std::string ExpectedImageName(const std::string& program) {
  size_t separator = program.find_last_of("\\:");
  size_t start = separator == std::string::npos || separator == 0 ? 0 : separator + 1;
  std::string name;
  for (size_t i = start; i < program.size(); ++i) {
    if (program[i] != '"') name += program[i];
  }
  return name;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c; }

bool ExpectedEqualIgnoringCase(const std::string& first, const std::string& second) {
  if (first.size() != second.size()) return false;
  for (size_t i = 0; i < first.size(); ++i) {
    if (LowerAscii(first[i]) != LowerAscii(second[i])) return false;
  }
  return true;
}

std::string SwapAsciiCase(std::string text) {
  for (char& c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) c = char(c ^ 0x20);
  }
  return text;
}

void CheckProgramEnd(const char* line) {
  size_t end = FindProgramEnd(line, kSingleByteCodePage);
  Require(end <= strlen(line), "the program ends within the line");
  Require(end == ExpectedProgramEnd(line), "the program ends at the first qualifying space");
  Require(line[end] == ' ' || line[end] == '\0', "the split is at a space or at the end");
}

// Splits into a buffer of `size` bytes: the program part exactly, or nothing at all.
void CheckSplit(const char* line, size_t size) {
  size_t end = ExpectedProgramEnd(line);
  GuardedBuffer program(size);
  const char kUntouched[] = "untouched";
  const char* parameters = kUntouched;
  bool fits = SplitCommandLine(line, kSingleByteCodePage, program.Data(), size, &parameters);
  Require(program.CanariesIntact(), "the split writes nothing past the program buffer");
  Require(fits == (end < size), "the split succeeds exactly when the program part fits");
  if (!fits) {
    Require(program.Unwritten(), "a refused split copies nothing");
    Require(parameters == kUntouched, "a refused split leaves the parameters alone");
    return;
  }
  Require(strlen(program.Data()) == end, "the program part is terminated at the split");
  Require(memcmp(program.Data(), line, end) == 0, "the program part is the line's prefix");
  Require(parameters == line + end, "the parameters are the rest of the line, in place");
  Require(std::string(program.Data()) + parameters == line, "program + parameters is the line");
  Require(*parameters == '\0' || *parameters == ' ', "the parameters keep their leading space");
}

void CheckImageName(const char* program, size_t size) {
  std::string expected = ExpectedImageName(program);
  GuardedBuffer name(size);
  bool fits = ImageNameOf(program, kSingleByteCodePage, name.Data(), size);
  Require(name.CanariesIntact(), "the image name writes nothing past its buffer");
  Require(fits == (expected.size() < size), "the image name succeeds exactly when it fits");
  if (!fits) return;
  Require(strchr(name.Data(), '"') == nullptr, "the image name has no double quote");
  Require(expected == name.Data(), "the image name is the last path piece without quotes");
}

void CheckImageNameEverySize(const char* program) {
  CheckImageName(program, kImageNameSize);
  for (size_t size : kSmallSizes) CheckImageName(program, size);
}

// The program part, split as the elevated start does, then its image name.
void CheckSplitThenImageName(const char* line) {
  char program[kProgramPathSize];
  const char* parameters = nullptr;
  if (SplitCommandLine(line, kSingleByteCodePage, program, sizeof program, &parameters)) {
    CheckImageNameEverySize(program);
  }
}

void CheckNameComparison(const char* first, const char* second) {
  bool equal = EqualsIgnoringAsciiCase(first, second, kSingleByteCodePage);
  Require(equal == EqualsIgnoringAsciiCase(second, first, kSingleByteCodePage),
          "the comparison is symmetric");
  Require(equal == ExpectedEqualIgnoringCase(first, second),
          "names are equal exactly when only the case of ASCII letters differs");
  Require(EqualsIgnoringAsciiCase(first, first, kSingleByteCodePage), "a name equals itself");
  std::string swapped = SwapAsciiCase(first);
  Require(EqualsIgnoringAsciiCase(first, swapped.c_str(), kSingleByteCodePage),
          "a name equals its case swap");
}

// With the lead bytes of code page 932 the scans read nothing past the line and split only at a
// space; a name still equals itself and its case swap when no letter follows a lead byte.
void CheckDoubleByteScans(const char* line, const char* second) {
  const LeadBytes cp932 = CodePage932();
  size_t end = FindProgramEnd(line, cp932);
  Require(end <= strlen(line) && (line[end] == ' ' || line[end] == '\0'),
          "a double-byte split is at a space or at the end");
  GuardedBuffer name(kImageNameSize);
  if (ImageNameOf(line, cp932, name.Data(), kImageNameSize)) {
    Require(strlen(name.Data()) <= strlen(line), "the image name is no longer than the program");
  }
  Require(name.CanariesIntact(), "the image name writes nothing past its buffer");
  bool equal = EqualsIgnoringAsciiCase(line, second, cp932);
  Require(equal == EqualsIgnoringAsciiCase(second, line, cp932), "the comparison is symmetric");
  Require(EqualsIgnoringAsciiCase(line, line, cp932), "a name equals itself");
  Require(!equal || ExpectedEqualIgnoringCase(line, second),
          "two-byte characters compare no looser than single bytes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInputSize) return 0;
  std::vector<char> text = ByteReader(data, size).RestAsString();
  const char* line = text.data();
  size_t lineLength = strlen(line);
  const char* second = lineLength + 1 < text.size() ? line + lineLength + 1 : line + lineLength;

  CheckProgramEnd(line);
  CheckSplit(line, kProgramPathSize);
  for (size_t smallSize : kSmallSizes) CheckSplit(line, smallSize);
  CheckImageNameEverySize(line);
  CheckSplitThenImageName(line);
  CheckNameComparison(line, second);
  CheckDoubleByteScans(line, second);
  return 0;
}
