#include "cli/byte_text.h"

#include <algorithm>
#include <cstdio>

namespace qef {

std::string Quoted(std::string_view bytes) {
  std::string text = "\"";
  for (char c : bytes) {
    auto byte = static_cast<uint8_t>(c);
    if (c == '\\' || c == '"') {
      text += '\\';
      text += c;
    } else if (byte >= 0x20 && byte < 0x7F) {
      text += c;
    } else {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      text += escape;
    }
  }
  return text + "\"";
}

std::string Printable(std::string_view bytes) {
  std::string text;
  for (char c : bytes) {
    auto byte = static_cast<uint8_t>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      text += c;
    } else {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      text += escape;
    }
  }
  return text;
}

std::string BytesAsUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (char c : bytes) {
    auto byte = static_cast<uint8_t>(c);
    if (byte < 0x80) {
      text += c;
    } else {
      text += static_cast<char>(0xC0 | byte >> 6);
      text += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return text;
}

void BodyExcerpt::Add(std::string_view piece) {
  size_t room = kShownBytes - shown_.size();
  size_t taken = std::min(room, piece.size());
  shown_.append(piece.substr(0, taken));
  omitted_ += piece.size() - taken;
}

void BodyExcerpt::Clear() {
  shown_.clear();
  omitted_ = 0;
}

}  // namespace qef
