// Runs the install procedure from the current directory it is started in and prints its report
// and the current directory it leaves behind.
#include <windows.h>

#include <cstdio>

#include "install/install_procedure.h"

int main() {
  InstallReport report = RunInstall();
  char directory[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof directory, directory);
  printf("outcome=%d\nsubject=%s\ncwd=%s\n", int(report.outcome), report.subject, directory);
  return 0;
}
