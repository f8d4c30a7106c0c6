#include "runtime/display_text.h"

#include <gtest/gtest.h>

#include "runtime/testing/utf8_oracle.h"

namespace qef {
namespace {

constexpr auto kUtf8 = TerminalEncoding::kUtf8;
constexpr auto kEightBit = TerminalEncoding::kEightBit;
constexpr auto kAnsi = TerminalEncoding::kAnsiConsole;

TEST(DisplayTextTest, EscapesControlsAndBrokenCharactersAndKeepsTheRest) {
  struct Case {
    std::string bytes;
    TerminalEncoding encoding;
    std::string shown;
  } cases[] = {
      {"C:\\Apps\\Sales Order.AEF", kUtf8, "C:\\\\Apps\\\\Sales Order.AEF"},
      {"C:\\Apps\\Sales Order.AEF", kAnsi, "C:\\Apps\\Sales Order.AEF"},
      {"evil\x1b[2J\x1b]0;owned\x1b\\.AEF", kUtf8, "evil\\x1b[2J\\x1b]0;owned\\x1b\\\\.AEF"},
      // A line feed and the four characters \x0a read differently.
      {"a\nb", kUtf8, "a\\x0ab"},
      {"a\\x0ab", kUtf8, "a\\\\x0ab"},
      {"a\\x0ab", kEightBit, "a\\\\x0ab"},
      {std::string("a\0b\x7f\tc\n", 7), kUtf8, "a\\x00b\\x7f\\x09c\\x0a"},
      {"Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", kUtf8,
       "Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
      {"\xc2\x9b"
       "31m",
       kUtf8, "\\xc2\\x9b31m"},                          // C1 CSI
      {"COM\xb9 \xc3", kUtf8, "COM\\xb9 \\xc3"},         // ANSI bytes, a cut character
      {"\xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80", kUtf8,  // overlong, surrogate, too big
       "\\xc0\\xaf \\xed\\xa0\\x80 \\xf4\\x90\\x80\\x80"},
      {"COM\xb9 \x9b"
       "31m \x1b",
       kEightBit, "COM\xb9 \\x9b31m \\x1b"},
      {"COM\xb9 \x9b \x1b", kAnsi, "COM\xb9 \x9b \\x1b"},
  };
  for (const auto& c : cases) EXPECT_EQ(DisplayText(c.bytes, c.encoding), c.shown) << c.bytes;
}

// One table settles the product's UTF-8 check and the one tests and fuzzers judge it by.
TEST(DisplayTextTest, ShowsExactlyTheValidUtf8AsItIs) {
  for (const testing::Utf8Case& c : testing::Utf8Cases()) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(testing::ValidUtf8(c.bytes), c.valid);
    EXPECT_EQ(DisplayText(c.bytes, kUtf8) == c.bytes, c.valid) << DisplayText(c.bytes, kUtf8);
  }
}

TEST(DisplayTextTest, KeepsBoxLineBreaksOnlyWhenAsked) {
  EXPECT_EQ(DisplayText("one\r\ntwo\rthree\n", kUtf8, true), "one\r\ntwo\\x0dthree\\x0a");
  EXPECT_EQ(DisplayText("one\r\ntwo", kUtf8), "one\\x0d\\x0atwo");
}

}  // namespace
}  // namespace qef
