#include "command_line.h"

#include <cstring>

namespace {

// A space ends the program part when, before any backslash, the line ends or a "/" follows, or
// a ":" follows and the space stands past index 4 (so "abc C:\x.exe" stays one path).
bool SpaceEndsProgram(const char* line, size_t space) {
  for (const char* c = line + space;; ++c) {
    switch (*c) {
      case '\\': return false;
      case '\0':
      case '/': return true;
      case ':': return space > 4;
      default: break;
    }
  }
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

}  // namespace

size_t FindProgramEnd(const char* commandLine) {
  size_t i = 0;
  for (; commandLine[i] != '\0'; ++i) {
    if (commandLine[i] == ' ' && SpaceEndsProgram(commandLine, i)) return i;
  }
  return i;
}

bool SplitCommandLine(const char* commandLine, char* program, size_t programSize,
                      const char** parameters) {
  size_t end = FindProgramEnd(commandLine);
  if (end >= programSize) return false;
  memcpy(program, commandLine, end);
  program[end] = '\0';
  *parameters = commandLine + end;
  return true;
}

// The search stops before the first character, so a lone leading separator stays in the name.
bool ImageNameOf(const char* program, char* imageName, size_t imageNameSize) {
  size_t start = 0;
  for (size_t i = strlen(program); i > 1; --i) {
    char c = program[i - 1];
    if (c == '\\' || c == ':') {
      start = i;
      break;
    }
  }
  size_t length = 0;
  for (const char* c = program + start; *c != '\0'; ++c) {
    if (*c == '"') continue;
    if (length + 1 >= imageNameSize) return false;
    imageName[length++] = *c;
  }
  if (imageNameSize == 0) return false;
  imageName[length] = '\0';
  return true;
}

bool EqualsIgnoringAsciiCase(const char* first, const char* second) {
  for (; *first != '\0' && LowerAscii(*first) == LowerAscii(*second); ++first, ++second) {
  }
  return LowerAscii(*first) == LowerAscii(*second);
}
