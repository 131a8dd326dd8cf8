#include "adapter_state.h"

#include <cstring>

#include "command_line.h"

namespace {

int Urgency(AdapterState state) {
  switch (state) {
    case ADAPTER_PROBLEM: return 3;
    case ADAPTER_SETTING_UP: return 2;
    case ADAPTER_READY: return 1;
    default: return 0;
  }
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The value of a decimal or hexadecimal digit; 16 for any other character.
unsigned DigitValue(char c) {
  char lower = LowerAscii(c);
  if (lower >= '0' && lower <= '9') return unsigned(lower - '0');
  if (lower >= 'a' && lower <= 'f') return unsigned(lower - 'a' + 10);
  return 16;
}

// Whether `text` starts with `prefix`, ignoring case; `*text` is moved past it when it does.
bool SkipPrefix(const char** text, const char* prefix) {
  const char* c = *text;
  for (; *prefix; ++prefix, ++c) {
    if (LowerAscii(*c) != *prefix) return false;
  }
  *text = c;
  return true;
}

// The decimal or 0x-hexadecimal number up to the next dot; `*present` is false for an empty
// field, which leaves the part unchecked.
bool ReadVersionPart(const char** text, uint32_t* value, bool* present) {
  const char* c = *text;
  unsigned base = SkipPrefix(&c, "0x") ? 16 : 10;
  *value = 0;
  *present = false;
  for (; *c && *c != '.'; ++c) {
    unsigned digit = DigitValue(*c);
    if (digit >= base) return false;
    *value = *value * base + digit;
    *present = true;
  }
  if (*c == '.') ++c;
  *text = c;
  return true;
}

// "amd64" in "NTamd64.6.1", or nothing: the processor ends at the first dot.
bool PlatformMatches(const char** text, const char* platform) {
  const char* c = *text;
  bool named = *c != '\0' && *c != '.';
  if (named && (!SkipPrefix(&c, platform) || (*c != '\0' && *c != '.'))) return false;
  *text = *c ? c + 1 : c;
  return true;
}

enum VersionPart { PART_MAJOR, PART_MINOR, PART_PRODUCT_TYPE, PART_SUITE_MASK, PART_BUILD };

}  // namespace

AdapterReport AssessDevice(const DeviceStatus& status, bool installsPending) {
  if (status.hasProblem && !installsPending) return {ADAPTER_PROBLEM, status.problem};
  if (status.started && !status.hasProblem) return {ADAPTER_READY, 0};
  return {ADAPTER_SETTING_UP, 0};
}

AdapterReport MoreUrgent(const AdapterReport& first, const AdapterReport& second) {
  return Urgency(second.state) > Urgency(first.state) ? second : first;
}

bool ModelsDecorationApplies(const char* decoration, const char* platform,
                             const WindowsVersion& version) {
  const char* c = decoration;
  if (!SkipPrefix(&c, "nt") || !PlatformMatches(&c, platform)) return false;
  uint32_t parts[PART_BUILD + 1] = {};
  bool given[PART_BUILD + 1] = {};
  for (int part = PART_MAJOR; part <= PART_BUILD && *c; ++part) {
    if (!ReadVersionPart(&c, &parts[part], &given[part])) return false;
  }
  if (*c) return false;
  if (given[PART_PRODUCT_TYPE] && parts[PART_PRODUCT_TYPE] != version.productType) return false;
  // The version given is the oldest the section serves; parts not given ask nothing.
  const uint32_t wanted[] = {parts[PART_MAJOR], parts[PART_MINOR], parts[PART_BUILD]};
  const uint32_t running[] = {version.major, version.minor, version.build};
  for (size_t i = 0; i < sizeof wanted / sizeof wanted[0]; ++i) {
    if (running[i] != wanted[i]) return running[i] > wanted[i];
  }
  return true;
}

void ClearHardwareIds(HardwareIdList* ids) {
  ids->used = 0;
  ids->count = 0;
  ids->overflowed = false;
}

void AddHardwareId(HardwareIdList* ids, const char* id) {
  size_t length = strlen(id);
  if (length == 0) return;
  if (length + 1 > sizeof ids->pool - ids->used) {
    ids->overflowed = true;
    return;
  }
  memcpy(ids->pool + ids->used, id, length + 1);
  ids->used += length + 1;
  ++ids->count;
}

bool ServesAnyOf(const HardwareIdList& ids, const char* deviceIds, size_t size) {
  for (size_t at = 0; at < size && deviceIds[at];) {
    size_t length = strnlen(deviceIds + at, size - at);
    if (at + length == size) return false;  // not terminated within the property
    for (size_t known = 0; known < ids.used; known += strlen(ids.pool + known) + 1) {
      if (EqualsIgnoringAsciiCase(deviceIds + at, ids.pool + known, kSingleByteCodePage)) {
        return true;
      }
    }
    at += length + 1;
  }
  return false;
}
