#include "command_line.h"

#include <cstring>

const LeadBytes kSingleByteCodePage = {};

namespace {

// Every scan steps from character to character, so the second byte of a two-byte character,
// which may be 0x5C, is never taken for a backslash.

// A space ends the program part when, before any backslash, the line ends or a "/" follows, or
// a ":" follows and the space stands past index 4 (so "abc C:\x.exe" stays one path).
bool SpaceEndsProgram(const char* line, size_t space, const LeadBytes& leadBytes) {
  for (const char* c = line + space;; c += CharacterLength(c, leadBytes)) {
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

size_t CharacterLength(const char* text, const LeadBytes& leadBytes) {
  return leadBytes.lead[static_cast<unsigned char>(*text)] && text[1] != '\0' ? 2 : 1;
}

size_t FindProgramEnd(const char* commandLine, const LeadBytes& leadBytes) {
  size_t i = 0;
  for (; commandLine[i] != '\0'; i += CharacterLength(commandLine + i, leadBytes)) {
    if (commandLine[i] == ' ' && SpaceEndsProgram(commandLine, i, leadBytes)) return i;
  }
  return i;
}

bool SplitCommandLine(const char* commandLine, const LeadBytes& leadBytes, char* program,
                      size_t programSize, const char** parameters) {
  size_t end = FindProgramEnd(commandLine, leadBytes);
  if (end >= programSize) return false;
  memcpy(program, commandLine, end);
  program[end] = '\0';
  *parameters = commandLine + end;
  return true;
}

// The character at index 0 is never taken for a separator, so a lone leading one stays in the
// name.
bool ImageNameOf(const char* program, const LeadBytes& leadBytes, char* imageName,
                 size_t imageNameSize) {
  size_t start = 0;
  for (size_t i = 0; program[i] != '\0'; i += CharacterLength(program + i, leadBytes)) {
    if (i > 0 && (program[i] == '\\' || program[i] == ':')) start = i + 1;
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

bool EqualsIgnoringAsciiCase(const char* first, const char* second, const LeadBytes& leadBytes) {
  for (;;) {
    if (LowerAscii(*first) != LowerAscii(*second)) return false;
    if (*first == '\0') return true;
    size_t length = CharacterLength(first, leadBytes);
    if (length == 2 && first[1] != second[1]) return false;
    first += length;
    second += length;
  }
}

bool BareProgramName(const char* commandLine, char* name, size_t nameSize) {
  size_t length = strcspn(commandLine, " ");
  if (length == 0 || length >= nameSize) return false;
  for (size_t i = 0; i < length; ++i) {
    if (strchr("\\/:\"", commandLine[i])) return false;
  }
  memcpy(name, commandLine, length);
  name[length] = '\0';
  return true;
}
