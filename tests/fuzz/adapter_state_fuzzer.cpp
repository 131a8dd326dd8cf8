// Fuzzes what the adapter check reads from outside: a models decoration from an INF, of any
// content, and a device's id list as the registry gives it, of any bytes and length. The id list
// is read only within its size, and matches exactly when one of its ids, up to the first empty
// or unterminated one, equals the package's ignoring ASCII case; a decoration is judged the same
// in any letter case and, once it applies, applies to every later version too.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "install/adapter_state.h"

namespace {

const char kServedId[] = "USB\\VID_0B95&PID_7720";

bool SameIgnoringAsciiCase(const std::string& first, const std::string& second) {
  if (first.size() != second.size()) return false;
  for (size_t i = 0; i < first.size(); ++i) {
    if (tolower(static_cast<unsigned char>(first[i])) !=
        tolower(static_cast<unsigned char>(second[i]))) {
      return false;
    }
  }
  return true;
}

bool ExpectedMatch(const std::vector<char>& list) {
  size_t at = 0;
  while (at < list.size() && list[at]) {
    size_t end = at;
    while (end < list.size() && list[end]) ++end;
    if (end == list.size()) return false;
    if (SameIgnoringAsciiCase(std::string(&list[at], end - at), kServedId)) return true;
    at = end + 1;
  }
  return false;
}

void CheckIdList(const std::vector<char>& list) {
  HardwareIdList ids;
  ClearHardwareIds(&ids);
  AddHardwareId(&ids, kServedId);
  Require(ServesAnyOf(ids, list.data(), list.size()) == ExpectedMatch(list),
          "a device matches exactly when one of its terminated ids is served");
}

void CheckDecoration(const char* decoration, WindowsVersion version) {
  bool applies = ModelsDecorationApplies(decoration, "amd64", version);
  std::string upper = decoration;
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  Require(applies == ModelsDecorationApplies(upper.c_str(), "amd64", version),
          "a decoration is read without regard to case");
  WindowsVersion later = version;
  later.major += later.major < 0xFFFFFFFF;
  Require(!applies || ModelsDecorationApplies(decoration, "amd64", later),
          "a section for some Windows serves every later one");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteReader reader(data, size);
  WindowsVersion version = {reader.Byte(), reader.Byte(), reader.Word(), reader.Byte(), 0};
  std::vector<char> rest = reader.RestAsString();
  rest.pop_back();
  CheckIdList(rest);
  rest.push_back('\0');
  CheckDecoration(rest.data(), version);
  return 0;
}
