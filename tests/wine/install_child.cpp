// Runs the install procedure from the current directory it is started in and prints its report
// and the current directory it leaves behind.
#include <windows.h>

#include <cstdio>

#include "install/install_procedure.h"

int main() {
  InstallReport report = RunInstall();
  char directory[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof directory, directory);
  printf("outcome=%d\nsubject=%s\ncwd=%s\nadapter=%d\nproblem=%u\n", int(report.outcome),
         report.subject, directory, int(report.adapter.state), unsigned(report.adapter.problem));
  return 0;
}
