// Helpers shared by the fuzzers of the decision core: a check that makes libFuzzer keep the
// input, a reader that turns fuzz bytes into fields, and buffers with canary bytes after them.
#ifndef QB7_TESTS_FUZZ_FUZZ_SUPPORT_H
#define QB7_TESTS_FUZZ_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

// Aborting, rather than returning, is what makes libFuzzer save the input as a crash artifact.
inline void Require(bool holds, const char* property) {
  if (holds) return;
  fprintf(stderr, "broken property: %s\n", property);
  abort();
}

// Reads fields from the front of the fuzz input; past its end every byte reads as zero, so
// short inputs still make a whole record.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint8_t Byte() { return position_ < size_ ? data_[position_++] : 0; }

  uint32_t Word() {
    uint32_t value = 0;
    for (int shift = 0; shift < 32; shift += 8) value |= uint32_t(Byte()) << shift;
    return value;
  }

  // The rest of the input plus a terminator, with no spare room, so AddressSanitizer sees any
  // read past the end. Read as a C string it ends at the first NUL byte of the input.
  std::vector<char> RestAsString() {
    std::vector<char> text(data_ + position_, data_ + size_);
    text.push_back('\0');
    position_ = size_;
    return text;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

// An output buffer of `size` bytes filled with a marker, followed by canary bytes. A write past
// the end lands in the canaries (AddressSanitizer would not see it: it is inside one block).
class GuardedBuffer {
 public:
  static constexpr size_t kCanarySize = 16;
  static constexpr char kCanary = '\xA5';
  static constexpr char kUnwritten = '\x5A';

  explicit GuardedBuffer(size_t size) : size_(size), bytes_(size + kCanarySize, kCanary) {
    memset(bytes_.data(), kUnwritten, size);
  }

  char* Data() { return bytes_.data(); }
  size_t Size() const { return size_; }

  bool CanariesIntact() const {
    for (size_t i = size_; i < bytes_.size(); ++i) {
      if (bytes_[i] != kCanary) return false;
    }
    return true;
  }

  bool Unwritten() const {
    for (size_t i = 0; i < size_; ++i) {
      if (bytes_[i] != kUnwritten) return false;
    }
    return true;
  }

 private:
  size_t size_;
  std::vector<char> bytes_;
};

#endif
