#include "os_class.h"

namespace {

const uint32_t kPlatformWin9x = 1;  // VER_PLATFORM_WIN32_WINDOWS
const uint32_t kPlatformNt = 2;     // VER_PLATFORM_WIN32_NT
const uint8_t kWorkstation = 1;     // VER_NT_WORKSTATION
const uint8_t kServer = 3;          // VER_NT_SERVER; 2 is a domain controller
const uint16_t kMachineUnknown = 0;
const uint16_t kMachineI386 = 0x014C;
const uint16_t kMachineIa64 = 0x0200;
const uint16_t kMachineAmd64 = 0x8664;

bool IsWorkstationOrServer(uint8_t productType) {
  return productType == kWorkstation || productType == kServer;
}

OsClass ClassifyVersion4(const VersionFacts& facts) {
  switch (facts.minor) {
    case 0:
      if (facts.platformId == kPlatformWin9x) return OS_WIN95;
      if (facts.platformId == kPlatformNt) return OS_NT4;
      return OS_UNRECOGNISED;
    case 10: return OS_WIN98;
    case 90: return OS_WINME;
    default: return OS_UNRECOGNISED;
  }
}

OsClass ClassifyVersion5(const VersionFacts& facts) {
  switch (facts.minor) {
    case 0: return IsWorkstationOrServer(facts.productType) ? OS_WIN2000 : OS_UNRECOGNISED;
    case 1: return OS_WINXP;
    case 2: return OS_WIN2000;  // Server 2003 and XP x64 take the 2000 road
    default: return OS_UNRECOGNISED;
  }
}

}  // namespace

// Version 10 and later are deliberately not recognised: an exe without a manifest is told 6.2
// on Windows 8.1 and later, so it only sees 10.0 when something has lied on its behalf.
OsClass ClassifyOs(const VersionFacts& facts) {
  switch (facts.major) {
    case 4: return ClassifyVersion4(facts);
    case 5: return ClassifyVersion5(facts);
    case 6: return IsWorkstationOrServer(facts.productType) ? OS_VISTA : OS_UNRECOGNISED;
    default: return OS_UNRECOGNISED;
  }
}

// The processor type alone decides; the architecture field of the record is never consulted.
uint8_t BitnessOfProcessorType(uint32_t processorType) {
  return processorType == kProcessorIa64 || processorType == kProcessorAmd64 ? 64 : 32;
}

// Windows on ARM runs this 32-bit program under emulation and then tells it of an x86 or x64
// processor; an x86 or x64 kernel driver cannot be installed there.
bool DriversServeNativeMachine(uint16_t nativeMachine) {
  switch (nativeMachine) {
    case kMachineUnknown:
    case kMachineI386:
    case kMachineIa64:
    case kMachineAmd64: return true;
    default: return false;
  }
}

bool Is9xFamily(uint8_t osClass) { return osClass >= OS_WIN95 && osClass <= OS_WINME; }
bool IsXpFamily(uint8_t osClass) { return osClass >= OS_NT4 && osClass <= OS_WINXP; }
bool IsVistaFamily(uint8_t osClass) { return osClass == OS_VISTA; }
