// Splitting an installer command line into program and parameters, and the image name by which
// a started program is found again in the process list. No Windows header.
#ifndef QB7_INSTALL_COMMAND_LINE_H
#define QB7_INSTALL_COMMAND_LINE_H

#include <cstddef>

enum LaunchMode {
  DIRECT = 0,    // a child process whose handle is waited on
  ELEVATED = 1,  // started through the shell with elevation; watched by image name
};

const size_t kCommandLineSize = 256;
const size_t kProgramPathSize = 256;
const size_t kImageNameSize = 256;

// The bytes that open a two-byte character in the system's ANSI code page: some in the Japanese,
// Chinese and Korean code pages, none in the others. A second byte can be a "\" or a letter, so
// every scan of a path or a line steps over whole characters.
struct LeadBytes {
  bool lead[256];
};
extern const LeadBytes kSingleByteCodePage;

// The length in bytes of the character at `text`: 2 for a lead byte with a second byte after it.
size_t CharacterLength(const char* text, const LeadBytes& leadBytes);

// Index of the space that ends the program part, or the length of the line when none does.
size_t FindProgramEnd(const char* commandLine, const LeadBytes& leadBytes);

// Copies the program part into `program`; `parameters` points into the line at the split, so it
// keeps its leading space. False, with nothing copied, when the program part does not fit.
bool SplitCommandLine(const char* commandLine, const LeadBytes& leadBytes, char* program,
                      size_t programSize, const char** parameters);

// The file-name piece of a program path, without double quotes. False when it does not fit.
bool ImageNameOf(const char* program, const LeadBytes& leadBytes, char* imageName,
                 size_t imageNameSize);

// True when both names are equal but for the case of ASCII letters; other bytes, the second
// bytes of two-byte characters among them, must match.
bool EqualsIgnoringAsciiCase(const char* first, const char* second, const LeadBytes& leadBytes);

// The program a line names without any folder, e.g. "rundll32.exe" of "rundll32.exe x,y 1 z";
// false when its first word has a folder, a drive or quotes, or does not fit.
bool BareProgramName(const char* commandLine, char* name, size_t nameSize);

#endif
