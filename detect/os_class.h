// Classification of the running Windows version and processor, over plain data.
// No Windows header: this builds and is tested natively as well.
#ifndef QB7_DETECT_OS_CLASS_H
#define QB7_DETECT_OS_CLASS_H

#include <cstdint>

enum OsClass : uint8_t {
  OS_UNRECOGNISED = 0,
  OS_WIN95 = 1,
  OS_WIN98 = 2,
  OS_WINME = 3,
  OS_NT4 = 4,
  OS_WIN2000 = 5,
  OS_WINXP = 6,
  OS_VISTA = 7,
};

// The 64-bit processor types of the platform's system record.
const uint32_t kProcessorIa64 = 2200;   // PROCESSOR_INTEL_IA64
const uint32_t kProcessorAmd64 = 8664;  // PROCESSOR_AMD_X86_64

struct SystemProbe {
  uint8_t osClass;         // an OsClass code
  uint8_t bitness;         // 32 or 64; 0 when the probe did not run
  uint32_t processorType;  // of the native processor, which the bitness comes from; 0 if unknown
};

// The fields of the platform's version record that decide the class.
struct VersionFacts {
  uint32_t major;
  uint32_t minor;
  uint32_t platformId;
  uint8_t productType;
};

OsClass ClassifyOs(const VersionFacts& facts);
uint8_t BitnessOfProcessorType(uint32_t processorType);

// Whether drivers built for x86, x64 or Itanium can serve a system whose native machine is this
// PE machine code; 0 stands for a machine the system did not tell.
bool DriversServeNativeMachine(uint16_t nativeMachine);

bool Is9xFamily(uint8_t osClass);
bool IsXpFamily(uint8_t osClass);
bool IsVistaFamily(uint8_t osClass);

#endif
