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
bool PlatformMatches(const char** text, const char* platform, bool* named) {
  const char* c = *text;
  *named = *c != '\0' && *c != '.';
  if (*named && (!SkipPrefix(&c, platform) || (*c != '\0' && *c != '.'))) return false;
  *text = *c ? c + 1 : c;
  return true;
}

enum VersionPart { PART_MAJOR, PART_MINOR, PART_PRODUCT_TYPE, PART_SUITE_MASK, PART_BUILD };
const int kVersionParts = PART_BUILD + 1;

struct Decoration {
  bool processorNamed;
  uint32_t parts[kVersionParts];
  bool given[kVersionParts];
};

bool ParseDecoration(const char* text, const char* platform, Decoration* decoration) {
  *decoration = Decoration();
  const char* c = text;
  if (!SkipPrefix(&c, "nt") || !PlatformMatches(&c, platform, &decoration->processorNamed)) {
    return false;
  }
  for (int part = PART_MAJOR; part < kVersionParts && *c; ++part) {
    if (!ReadVersionPart(&c, &decoration->parts[part], &decoration->given[part])) return false;
  }
  return *c == '\0';
}

bool IsX86(const char* platform) { return strcmp(platform, "x86") == 0; }

// Since Server 2003 SP1, 64-bit Windows takes a models section only where its decoration names
// the processor.
bool Applies(const Decoration& decoration, const char* platform, const WindowsVersion& version) {
  const uint32_t* parts = decoration.parts;
  if (!decoration.processorNamed && !IsX86(platform)) return false;
  if (decoration.given[PART_PRODUCT_TYPE] && parts[PART_PRODUCT_TYPE] != version.productType) {
    return false;
  }
  if ((parts[PART_SUITE_MASK] & version.suiteMask) != parts[PART_SUITE_MASK]) return false;
  // The version given is the oldest the section serves; parts not given ask nothing.
  const uint32_t wanted[] = {parts[PART_MAJOR], parts[PART_MINOR], parts[PART_BUILD]};
  const uint32_t running[] = {version.major, version.minor, version.build};
  for (size_t i = 0; i < sizeof wanted / sizeof wanted[0]; ++i) {
    if (running[i] != wanted[i]) return running[i] > wanted[i];
  }
  return true;
}

// Of two decorations that apply, the setup library takes the one for the later version, then
// the processor's own before plain NT, then the one asking for the product type and suite.
bool Precedes(const Decoration& first, const Decoration& second) {
  const Decoration* both[] = {&first, &second};
  uint32_t keys[2][6];
  for (int i = 0; i < 2; ++i) {
    const Decoration& d = *both[i];
    const uint32_t key[] = {d.parts[PART_MAJOR],        d.parts[PART_MINOR],
                            d.parts[PART_BUILD],        d.processorNamed,
                            d.given[PART_PRODUCT_TYPE], d.parts[PART_SUITE_MASK] != 0};
    memcpy(keys[i], key, sizeof key);
  }
  for (int i = 0; i < 6; ++i) {
    if (keys[0][i] != keys[1][i]) return keys[0][i] > keys[1][i];
  }
  return false;
}

}  // namespace

// Windows shows codes 1 (not configured), 18 (reinstall), 28 (no driver installed) and 56 (class
// configuration still being set up, which a network adapter passes through on a normal install)
// while a device's install is still under way; any other code is a problem whatever else is
// installing.
AdapterReport AssessDevice(const DeviceStatus& status, bool installsMayBePending) {
  if (status.started && !status.hasProblem) return {ADAPTER_READY, 0};
  bool shownWhileInstalling =
      status.problem == 1 || status.problem == 18 || status.problem == 28 || status.problem == 56;
  if (status.hasProblem && !(installsMayBePending && shownWhileInstalling)) {
    return {ADAPTER_PROBLEM, status.problem};
  }
  return {ADAPTER_SETTING_UP, 0};
}

AdapterReport MoreUrgent(const AdapterReport& first, const AdapterReport& second) {
  return Urgency(second.state) > Urgency(first.state) ? second : first;
}

bool NeedsDriverFromMaker(const AdapterReport& report) {
  return report.state == ADAPTER_PROBLEM && report.windows10OrLater &&
         (report.problem == 39 || report.problem == 52);
}

bool ModelsDecorationApplies(const char* decoration, const char* platform,
                             const WindowsVersion& version) {
  Decoration parsed;
  return ParseDecoration(decoration, platform, &parsed) && Applies(parsed, platform, version);
}

// Windows 2000 reads no decoration; later ones take the decoration that fits best, else the
// undecorated section, which 64-bit Windows does not take. An empty section that is chosen is
// how a package leaves a version out.
int ChooseModelsDecoration(const char* const* decorations, size_t count, const char* platform,
                           const WindowsVersion& version) {
  bool readsDecorations = version.major > 5 || (version.major == 5 && version.minor >= 1);
  int chosen = kNoModels;
  Decoration best = Decoration();
  for (size_t i = 0; readsDecorations && i < count; ++i) {
    Decoration decoration;
    if (!ParseDecoration(decorations[i], platform, &decoration) ||
        !Applies(decoration, platform, version)) {
      continue;
    }
    if (chosen == kNoModels || Precedes(decoration, best)) {
      best = decoration;
      chosen = static_cast<int>(i);
    }
  }
  if (chosen != kNoModels) return chosen;
  return IsX86(platform) ? kUndecoratedModels : kNoModels;
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
