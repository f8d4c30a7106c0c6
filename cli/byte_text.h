#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qef {

// Bytes as a quoted text line: printable ASCII as it is, backslash and double quote escaped,
// every other byte as \xNN. Names are 8-bit text in an unknown code page, so nothing else is
// guessed.
std::string Quoted(std::string_view bytes);

// Bytes as a text line without quotes: printable ASCII as it is, every other byte as \xNN.
std::string Printable(std::string_view bytes);

// Bytes as UTF-8, each byte becoming the character of the same number (U+0000 to U+00FF), so
// that any body goes into JSON without loss.
std::string BytesAsUtf8(std::string_view bytes);

// The start of a body for display and the number of bytes left out, so that memory stays
// bounded whatever length a record declares.
class BodyExcerpt {
 public:
  static constexpr size_t kShownBytes = 4096;

  void Add(std::string_view piece);
  void Clear();
  const std::string& shown() const { return shown_; }
  uint64_t omitted() const { return omitted_; }

 private:
  std::string shown_;
  uint64_t omitted_ = 0;
};

}  // namespace qef
