#include "dpinst_descriptor.h"

#include <cstring>

namespace {

class XmlScan {
 public:
  XmlScan(const char* text, size_t size) : at_(text), end_(text + size) {}

  bool AtEnd() const { return at_ >= end_; }
  void Advance() { ++at_; }

  // Moves past `word` when the text goes on with it.
  bool Skip(const char* word) {
    size_t length = strlen(word);
    if (size_t(end_ - at_) < length || memcmp(at_, word, length) != 0) return false;
    at_ += length;
    return true;
  }

  // Moves past the next `word`, or to the end.
  void SkipPast(const char* word) {
    while (!AtEnd() && !Skip(word)) Advance();
  }

  void SkipBlanks() {
    while (!AtEnd() && IsBlank(*at_)) Advance();
  }

  // The text up to `stop` (a character of it), blanks around it left out; false when it does not
  // fit or the text ends first.
  bool ReadUntil(const char* stop, char* value, size_t size) {
    SkipBlanks();
    size_t length = 0;
    for (; !AtEnd() && !strchr(stop, *at_); Advance()) {
      if (length + 1 >= size) return false;
      value[length++] = *at_;
    }
    while (length && IsBlank(value[length - 1])) --length;
    value[length] = '\0';
    return !AtEnd();
  }

  char Peek() const { return AtEnd() ? '\0' : *at_; }
  bool AtBlank() const { return !AtEnd() && IsBlank(*at_); }

 private:
  static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

  const char* at_;
  const char* end_;
};

// The path attribute of a <package ...> element, before its end.
bool ReadPackagePath(XmlScan* scan, char* path, size_t size) {
  while (!scan->AtEnd() && scan->Peek() != '>') {
    bool attributeFollows = scan->AtBlank();
    scan->Advance();
    if (!attributeFollows) continue;
    scan->SkipBlanks();
    if (!scan->Skip("path")) continue;
    scan->SkipBlanks();
    if (!scan->Skip("=")) continue;
    scan->SkipBlanks();
    const char quote[] = {scan->Peek(), '\0'};
    if (quote[0] != '"' && quote[0] != '\'') continue;
    scan->Advance();
    return scan->ReadUntil(quote, path, size);
  }
  return false;
}

}  // namespace

void ReadDescriptor(const char* text, size_t size, DescriptorEntryFn found, void* context) {
  XmlScan scan(text, size);
  char path[kDescriptorPathSize];
  while (!scan.AtEnd()) {
    if (scan.Skip("<!--")) {
      scan.SkipPast("-->");
    } else if (scan.Skip("<subDirectory>")) {
      if (scan.ReadUntil("<", path, sizeof path) && path[0]) {
        found(DESCRIPTOR_SUBFOLDER, path, context);
      }
    } else if (scan.Skip("<package") && scan.AtBlank()) {
      if (ReadPackagePath(&scan, path, sizeof path) && path[0]) {
        found(DESCRIPTOR_PACKAGE, path, context);
      }
    } else {
      scan.Advance();
    }
  }
}
