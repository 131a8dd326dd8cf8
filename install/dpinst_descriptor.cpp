#include "dpinst_descriptor.h"

#include <cstring>

namespace {

// Every character beyond ASCII reads as this one: no name the reader looks for has one, and a path
// with one would need the system's code page to be followed.
const int kBeyondAscii = 0x80;

bool IsBlank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The descriptor's characters one at a time, in whichever of its encodings.
class XmlText {
 public:
  XmlText(const char* data, size_t size)
      : at_(reinterpret_cast<const unsigned char*>(data)), end_(at_ + size) {
    if (SkipBytes("\xFF\xFE")) {
      width_ = 2;
    } else if (SkipBytes("\xFE\xFF")) {
      width_ = 2;
      bigEndian_ = true;
    } else {
      SkipBytes("\xEF\xBB\xBF");
    }
  }

  bool AtEnd() const { return end_ - at_ < width_; }
  void Advance() { at_ += width_; }

  int Peek() const {
    if (AtEnd()) return '\0';
    unsigned unit = width_ == 1 ? at_[0] : bigEndian_ ? at_[0] << 8 | at_[1] : at_[1] << 8 | at_[0];
    return unit < unsigned(kBeyondAscii) ? int(unit) : kBeyondAscii;
  }

  // Moves past `word` when the text goes on with it.
  bool Skip(const char* word) {
    const unsigned char* start = at_;
    for (; *word; ++word, Advance()) {
      if (Peek() != *word) {
        at_ = start;
        return false;
      }
    }
    return true;
  }

  // Moves past the next `word`; false when the text ends first.
  bool SkipPast(const char* word) {
    for (; !AtEnd(); Advance()) {
      if (Skip(word)) return true;
    }
    return false;
  }

  void SkipBlanks() {
    while (IsBlank(Peek())) Advance();
  }

 private:
  bool SkipBytes(const char* mark) {
    size_t length = strlen(mark);
    if (size_t(end_ - at_) < length || memcmp(at_, mark, length) != 0) return false;
    at_ += length;
    return true;
  }

  const unsigned char* at_;
  const unsigned char* end_;
  int width_ = 1;
  bool bigEndian_ = false;
};

// A text or attribute value as it is read, blanks before it left out.
class Value {
 public:
  void Add(int c) {
    if (length_ == 0 && IsBlank(c)) return;
    if (c == kBeyondAscii) plain_ = false;
    if (length_ + 1 >= sizeof text_) {
      fits_ = false;
      return;
    }
    text_[length_++] = char(c);
  }

  bool Empty() const { return length_ == 0 && fits_; }

  // The value without the blanks after it; null when it did not fit or is not plain ASCII.
  const char* Text() {
    if (!fits_ || !plain_) return nullptr;
    while (length_ && IsBlank(text_[length_ - 1])) --length_;
    text_[length_] = '\0';
    return text_;
  }

 private:
  char text_[kDescriptorPathSize] = {};
  size_t length_ = 0;
  bool fits_ = true;
  bool plain_ = true;
};

// After '&': the character one of XML's own entities stands for, or -1 for any other reference.
int ReadReference(XmlText* text) {
  static const struct {
    const char* name;
    char character;
  } kEntities[] = {{"lt;", '<'}, {"gt;", '>'}, {"amp;", '&'}, {"quot;", '"'}, {"apos;", '\''}};
  for (const auto& entity : kEntities) {
    if (text->Skip(entity.name)) return entity.character;
  }
  return -1;
}

// The next character of character data into `value`; false at a reference this reader does not
// know.
bool AddCharacter(XmlText* text, Value* value) {
  int c = text->Peek();
  if (text->Skip("&")) {
    c = ReadReference(text);
    if (c < 0) return false;
  } else {
    text->Advance();
  }
  if (value) value->Add(c);
  return true;
}

bool IsNameCharacter(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         strchr("_:-.", c) || c == kBeyondAscii;
}

// An element or attribute name, cut short where it does not fit (and then matches none the
// reader looks for).
void ReadName(XmlText* text, char* name, size_t size) {
  size_t length = 0;
  for (; text->Peek() && IsNameCharacter(text->Peek()); text->Advance()) {
    if (length + 1 < size) name[length++] = char(text->Peek());
  }
  name[length] = '\0';
}

// The rest of a start tag, the path attribute's value into `path` where one is asked for;
// `closed` set when the tag ends its element too.
bool ReadAttributes(XmlText* text, Value* path, bool* closed) {
  for (;;) {
    text->SkipBlanks();
    if (text->Skip(">")) return true;
    if (text->Skip("/>")) {
      *closed = true;
      return true;
    }
    char name[16];
    ReadName(text, name, sizeof name);
    text->SkipBlanks();
    if (!name[0] || !text->Skip("=")) return false;
    text->SkipBlanks();
    const char quote[] = {char(text->Peek()), '\0'};
    if (quote[0] != '"' && quote[0] != '\'') return false;
    text->Advance();
    Value* value = path && strcmp(name, "path") == 0 ? path : nullptr;
    while (!text->Skip(quote)) {
      if (text->AtEnd() || text->Peek() == '<' || !AddCharacter(text, value)) return false;
    }
  }
}

// An element's text up to its end or its first child: character data and CDATA sections,
// comments passed over.
bool ReadText(XmlText* text, Value* value) {
  while (!text->AtEnd()) {
    if (text->Skip("<![CDATA[")) {
      for (; !text->Skip("]]>"); text->Advance()) {
        if (text->AtEnd()) return false;
        value->Add(text->Peek());
      }
    } else if (text->Skip("<!--")) {
      if (!text->SkipPast("-->")) return false;
    } else if (text->Peek() == '<') {
      return true;
    } else if (!AddCharacter(text, value)) {
      return false;
    }
  }
  return false;
}

bool IsPart(const char* part, size_t length, const char* name) {
  return length == strlen(name) && memcmp(part, name, length) == 0;
}

// `raw` as a path from the installer's folder: parts separated by '\', "." parts left out, ".."
// parts taking back the part before. False for a path from a root or a drive, or one leading
// higher than the folder that holds the installer's.
bool TakePath(const char* raw, char* path) {
  if (raw[0] == '\\' || raw[0] == '/' || strchr(raw, ':')) return false;
  size_t length = 0;
  size_t fixed = 0;  // the leading ".." that nothing takes back
  for (const char* part = raw; *part; part += *part != '\0') {
    size_t partLength = strcspn(part, "\\/");
    if (IsPart(part, partLength, "..") && length > fixed) {
      while (length > fixed && path[length - 1] != '\\') --length;
      if (length > fixed) --length;
    } else if (IsPart(part, partLength, "..")) {
      if (fixed) return false;
      memcpy(path, "..", 2);
      length = fixed = 2;
    } else if (partLength && !IsPart(part, partLength, ".")) {
      if (length) path[length++] = '\\';
      memcpy(path + length, part, partLength);
      length += partLength;
    }
    part += partLength;
  }
  path[length] = '\0';
  return true;
}

// Passes on a value found for `entry`; false when it cannot be followed.
bool PassOn(DescriptorEntry entry, Value* value, DescriptorEntryFn found, void* context) {
  if (value->Empty()) return true;
  const char* raw = value->Text();
  char path[kDescriptorPathSize];
  if (!raw || !TakePath(raw, path)) return false;
  found(entry, path, context);
  return true;
}

// After '<': a comment, a processing instruction or a tag, read past.
bool ReadMarkup(XmlText* text, DescriptorEntryFn found, void* context) {
  if (text->Skip("!--")) return text->SkipPast("-->");
  if (text->Skip("![CDATA[")) return text->SkipPast("]]>");
  if (text->Skip("?")) return text->SkipPast("?>");
  // A document type may declare entities of its own.
  if (text->Skip("!")) return false;
  if (text->Skip("/")) return text->SkipPast(">");
  char name[16];
  ReadName(text, name, sizeof name);
  bool subfolder = strcmp(name, "subDirectory") == 0;
  bool package = strcmp(name, "package") == 0;
  Value value;
  bool closed = false;
  if (!name[0] || !ReadAttributes(text, package ? &value : nullptr, &closed)) return false;
  if (subfolder && !closed && !ReadText(text, &value)) return false;
  if (!subfolder && !package) return true;
  return PassOn(subfolder ? DESCRIPTOR_SUBFOLDER : DESCRIPTOR_PACKAGE, &value, found, context);
}

}  // namespace

bool ReadDescriptor(const char* data, size_t size, DescriptorEntryFn found, void* context) {
  if (size > kMaxDescriptorBytes) return false;
  XmlText text(data, size);
  while (!text.AtEnd()) {
    // No XML text holds a NUL: this is UTF-16 without its mark, or no text at all.
    if (text.Peek() == '\0') return false;
    if (!text.Skip("<")) {
      text.Advance();
    } else if (!ReadMarkup(&text, found, context)) {
      return false;
    }
  }
  return true;
}
