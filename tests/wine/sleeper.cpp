// A process with a known image name that runs for the milliseconds given as its argument.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  Sleep(argc > 1 ? DWORD(strtoul(argv[1], nullptr, 10)) : 0);
  return 0;
}
