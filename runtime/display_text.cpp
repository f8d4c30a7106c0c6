#include "runtime/display_text.h"

#include <cstdint>

namespace qef {

namespace {

void AppendEscaped(std::string& out, uint8_t byte) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

// The length of the valid UTF-8 character at the start of `bytes` that is not a C1 control, or 0.
size_t Utf8Length(std::string_view bytes) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(bytes[i]); };
  const uint8_t lead = byte(0);
  size_t length;
  uint32_t code;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07;
  } else {
    return 0;
  }
  if (bytes.size() < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i) & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not characters; U+0080 to U+009F
  // are the C1 controls.
  static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF ||
      (code >= 0x80 && code <= 0x9F)) {
    return 0;
  }
  return length;
}

}  // namespace

std::string DisplayText(std::string_view bytes, TerminalEncoding encoding, bool keep_line_breaks) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    const uint8_t byte = static_cast<uint8_t>(bytes[i]);
    if (keep_line_breaks && byte == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      out += "\r\n";
      i += 2;
    } else if (byte < 0x20 || byte == 0x7F) {
      AppendEscaped(out, byte);
      ++i;
    } else if (byte == '\\' && encoding != TerminalEncoding::kAnsiConsole) {
      out += "\\\\";  // else the four characters \x0a would read as an escaped line feed
      ++i;
    } else if (byte < 0x80 || encoding == TerminalEncoding::kAnsiConsole) {
      out += static_cast<char>(byte);
      ++i;
    } else if (encoding == TerminalEncoding::kEightBit) {
      if (byte <= 0x9F) {
        AppendEscaped(out, byte);
      } else {
        out += static_cast<char>(byte);
      }
      ++i;
    } else if (const size_t length = Utf8Length(bytes.substr(i)); length != 0) {
      out.append(bytes.substr(i, length));
      i += length;
    } else {
      AppendEscaped(out, byte);
      ++i;
    }
  }
  return out;
}

}  // namespace qef
