// A process with a known image name that runs for the milliseconds given as its first argument.
// With a second argument "thread" its main thread ends at once and another thread keeps the
// process alive for that long. When QB7_SLEEPER_END_FILE names a file, the tick count at which
// it ends is written there.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

DWORD gMilliseconds = 0;

void RecordEnd() {
  char path[MAX_PATH];
  DWORD length = GetEnvironmentVariableA("QB7_SLEEPER_END_FILE", path, sizeof path);
  if (length == 0 || length >= sizeof path) return;
  FILE* file = fopen(path, "w");
  if (!file) return;
  fprintf(file, "%llu", static_cast<unsigned long long>(GetTickCount64()));
  fclose(file);
}

DWORD WINAPI SleepThenEnd(void*) {
  Sleep(gMilliseconds);
  RecordEnd();
  ExitProcess(0);
}

}  // namespace

int main(int argc, char** argv) {
  gMilliseconds = argc > 1 ? DWORD(strtoul(argv[1], nullptr, 10)) : 0;
  if (argc > 2 && strcmp(argv[2], "thread") == 0) {
    HANDLE thread = CreateThread(nullptr, 0, SleepThenEnd, nullptr, 0, nullptr);
    if (!thread) return 1;
    CloseHandle(thread);
    ExitThread(0);
  }
  SleepThenEnd(nullptr);
  return 0;
}
