// How the adapter stands after an install, as Windows' device tree tells it, and which models
// section of each manufacturer in the driver package speaks for this system. No Windows header.
#ifndef QB7_INSTALL_ADAPTER_STATE_H
#define QB7_INSTALL_ADAPTER_STATE_H

#include <cstddef>
#include <cstdint>

enum AdapterState : uint8_t {
  ADAPTER_NOT_CHECKED,  // no device functions, or no hardware ids read from the package
  ADAPTER_ABSENT,       // no present device matches the package
  ADAPTER_READY,        // present, started, no problem
  ADAPTER_SETTING_UP,   // present, not started yet, no problem
  ADAPTER_PROBLEM,      // present, and Windows reports a problem code for it
};

struct AdapterReport {
  AdapterState state;
  uint32_t problem;  // the device's problem code, for ADAPTER_PROBLEM
  // Windows 10 or later, whose kernel refuses drivers Microsoft has not signed (11 since April
  // 2026 also cross-signed ones) and, with memory integrity on, drivers incompatible with it.
  bool windows10OrLater = false;
};

// What the configuration manager says of one device node.
struct DeviceStatus {
  bool started;
  bool hasProblem;
  uint32_t problem;
};

// One matching device. `installsMayBePending` is true when Plug and Play still had installs
// pending after the wait, and when the wait could not be asked or failed.
AdapterReport AssessDevice(const DeviceStatus& status, bool installsMayBePending);

// The report that needs the user's attention most: a problem, then setting up, then ready.
AdapterReport MoreUrgent(const AdapterReport& first, const AdapterReport& second);

// Whether the driver failed to load (39) or its signature to verify (52) on a Windows whose
// rules only a driver from the adapter's maker can meet: never by turning off a protection.
bool NeedsDriverFromMaker(const AdapterReport& report);

// The running Windows as a models section's decoration compares it.
struct WindowsVersion {
  uint32_t major;
  uint32_t minor;
  uint32_t build;
  uint8_t productType;
  uint16_t suiteMask;
};

// Whether a [Manufacturer] entry's decoration, NT[processor][.major[.minor[.product type[.suite
// mask[.build]]]]], applies to this Windows on the processor INF sections name `platform`
// ("x86", "amd64"): its processor is this one (named, or left out on x86 only), its version is
// at most this one's, its product type this one's and its suite mask bits all set here. Case is
// ignored.
bool ModelsDecorationApplies(const char* decoration, const char* platform,
                             const WindowsVersion& version);

// The one models section of a [Manufacturer] entry the setup library reads: the index of the
// decoration it takes among `count`, or one of these.
const int kUndecoratedModels = -1;
const int kNoModels = -2;
int ChooseModelsDecoration(const char* const* decorations, size_t count, const char* platform,
                           const WindowsVersion& version);

// The hardware and compatible ids a driver package serves, in a fixed pool.
const size_t kHardwareIdPoolSize = 16384;
struct HardwareIdList {
  char pool[kHardwareIdPoolSize];  // each id followed by its terminator
  size_t used;
  size_t count;
  bool overflowed;  // an id did not fit: the list cannot say that a device is not served
};

void ClearHardwareIds(HardwareIdList* ids);
void AddHardwareId(HardwareIdList* ids, const char* id);

// Whether any id of `deviceIds`, a list of terminated strings ending with an empty one within
// `size` bytes as the device's registry property holds it, equals one of `ids`, ignoring the
// case of ASCII letters as Windows matches drivers to devices.
bool ServesAnyOf(const HardwareIdList& ids, const char* deviceIds, size_t size);

#endif
