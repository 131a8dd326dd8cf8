// Fuzzes the classification: any version record and processor type give a class from the
// table and a bitness of 32 or 64, and every class byte belongs to at most one family.
#include <cstddef>
#include <cstdint>

#include "detect/os_class.h"
#include "fuzz_support.h"

namespace {

const uint32_t kAny = 0xFFFFFFFF;

// One line of the classification table; kAny matches every value, and `needsWorkstationOrServer`
// refuses product type 2 (a domain controller) and every other type but 1 and 3.
struct ClassRule {
  uint32_t major;
  uint32_t minor;
  uint32_t platformId;
  bool needsWorkstationOrServer;
  OsClass osClass;
};

const ClassRule kRules[] = {
    {4, 0, 1, false, OS_WIN95},      {4, 0, 2, false, OS_NT4},
    {4, 10, kAny, false, OS_WIN98},  {4, 90, kAny, false, OS_WINME},
    {5, 0, kAny, true, OS_WIN2000},  {5, 1, kAny, false, OS_WINXP},
    {5, 2, kAny, false, OS_WIN2000}, {6, kAny, kAny, true, OS_VISTA},
};

bool Matches(uint32_t ruleValue, uint32_t value) { return ruleValue == kAny || ruleValue == value; }

// The first matching rule decides; none matching means unrecognised.
OsClass ExpectedClass(const VersionFacts& facts) {
  bool workstationOrServer = facts.productType == 1 || facts.productType == 3;
  for (const ClassRule& rule : kRules) {
    if (rule.major == facts.major && Matches(rule.minor, facts.minor) &&
        Matches(rule.platformId, facts.platformId) &&
        (!rule.needsWorkstationOrServer || workstationOrServer)) {
      return rule.osClass;
    }
  }
  return OS_UNRECOGNISED;
}

void CheckClass(const VersionFacts& facts) {
  OsClass osClass = ClassifyOs(facts);
  Require(osClass <= OS_VISTA, "the class is a code from 0 to 7");
  Require(osClass == ExpectedClass(facts), "the class is the first matching table row");
}

void CheckBitness(uint32_t processorType) {
  uint8_t bitness = BitnessOfProcessorType(processorType);
  bool is64 = processorType == 2200 || processorType == 8664;
  Require(bitness == (is64 ? 64 : 32), "only IA-64 and x64 processors are 64-bit");
}

void CheckFamilies(uint8_t osClass) {
  int families = Is9xFamily(osClass) + IsXpFamily(osClass) + IsVistaFamily(osClass);
  Require(families == (osClass >= OS_WIN95 && osClass <= OS_VISTA ? 1 : 0),
          "classes 1 to 7 belong to exactly one family, all others to none");
  Require(Is9xFamily(osClass) == (osClass >= OS_WIN95 && osClass <= OS_WINME), "9x is 1 to 3");
  Require(IsXpFamily(osClass) == (osClass >= OS_NT4 && osClass <= OS_WINXP), "2000/XP is 4 to 6");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteReader reader(data, size);
  VersionFacts facts;
  facts.major = reader.Word();
  facts.minor = reader.Word();
  facts.platformId = reader.Word();
  facts.productType = reader.Byte();
  uint32_t processorType = reader.Word();
  uint8_t classByte = reader.Byte();

  CheckClass(facts);
  CheckBitness(processorType);
  CheckFamilies(classByte);
  CheckFamilies(ClassifyOs(facts));
  return 0;
}
