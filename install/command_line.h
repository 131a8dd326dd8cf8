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

// Index of the space that ends the program part, or the length of the line when none does.
size_t FindProgramEnd(const char* commandLine);

// Copies the program part into `program`; `parameters` points into the line at the split, so it
// keeps its leading space. False, with nothing copied, when the program part does not fit.
bool SplitCommandLine(const char* commandLine, char* program, size_t programSize,
                      const char** parameters);

// The file-name piece of a program path, without double quotes. False when it does not fit.
bool ImageNameOf(const char* program, char* imageName, size_t imageNameSize);

// True when both names are equal but for the case of ASCII letters; other bytes must match.
bool EqualsIgnoringAsciiCase(const char* first, const char* second);

#endif
