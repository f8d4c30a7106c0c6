#pragma once

// An independent test of UTF-8 for tests and fuzzers, and the table of cases that settles it
// and the product's own checks (DisplayText) alike.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qef::testing {

// True when the bytes are well-formed UTF-8 (RFC 3629): no overlong form, no surrogate, nothing
// above U+10FFFF, no character cut short, no stray continuation byte.
inline bool ValidUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    auto byte = [&](size_t k) { return static_cast<uint8_t>(text[i + k]); };
    const uint8_t lead = byte(0);
    size_t length = lead < 0x80                    ? 1
                    : lead >= 0xC2 && lead <= 0xDF ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((byte(k) & 0xC0) != 0x80) return false;
    }
    // The second byte's range after the leads that allow less: this is what rules out the
    // overlong three- and four-byte forms, the surrogates and the values past U+10FFFF.
    if (length > 2) {
      const uint8_t second = byte(1);
      if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
          (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) {
        return false;
      }
    }
    i += length;
  }
  return true;
}

struct Utf8Case {
  std::string bytes;
  bool valid;
  const char* what;
};

// No case holds a control character (C0 or C1), so each valid one is also text that a terminal
// shows as it is.
inline std::vector<Utf8Case> Utf8Cases() {
  return {
      {"plain ASCII", true, "ASCII"},
      {"\xc2\xa0", true, "U+00A0, the first two-byte character past the C1 controls"},
      {"\xdf\xbf", true, "U+07FF"},
      {"\xe0\xa0\x80", true, "U+0800, the smallest three-byte form"},
      {"\xed\x9f\xbf", true, "U+D7FF, just below the surrogates"},
      {"\xee\x80\x80", true, "U+E000, just above them"},
      {"\xef\xbf\xbf", true, "U+FFFF"},
      {"\xf0\x90\x80\x80", true, "U+10000, the smallest four-byte form"},
      {"\xf4\x8f\xbf\xbf", true, "U+10FFFF, the last code point"},
      {"Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", true, "a mix"},
      {"\xc0\xaf", false, "an overlong '/' in two bytes"},
      {"\xc1\xbf", false, "an overlong two-byte form"},
      {"\xe0\x80\xaf", false, "an overlong '/' in three bytes"},
      {"\xe0\x9f\xbf", false, "an overlong U+07FF in three bytes"},
      {"\xf0\x80\x80\xaf", false, "an overlong '/' in four bytes"},
      {"\xf0\x8f\xbf\xbf", false, "an overlong U+FFFF in four bytes"},
      {"\xed\xa0\x80", false, "the first surrogate"},
      {"\xed\xbf\xbf", false, "the last surrogate"},
      {"\xf4\x90\x80\x80", false, "U+110000"},
      {"\xf4\x9a\x89\x96", false, "past U+10FFFF (the efx_report fuzzer's find)"},
      {"\xf5\x80\x80\x80", false, "a lead byte no character has"},
      {"\xff", false, "a byte no UTF-8 text holds"},
      {"\x80", false, "a stray continuation byte"},
      {"\xe2\x82", false, "a character cut short"},
      {"\xc3(", false, "a lead byte without its continuation"},
  };
}

}  // namespace qef::testing
