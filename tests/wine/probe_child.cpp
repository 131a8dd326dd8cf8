// Prints what DetectSystem finds, for a test that starts it under a chosen reported version.
#include <cstdio>

#include "detect/system_probe.h"

int main() {
  SystemProbe probe = DetectSystem();
  printf("class=%u\nbitness=%u\n", unsigned(probe.osClass), unsigned(probe.bitness));
  return 0;
}
