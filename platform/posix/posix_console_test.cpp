#include <gtest/gtest.h>
#include <stdlib.h>

#include <clocale>
#include <optional>
#include <string>

#include "ui/console.h"

namespace qef {
namespace {

// Sets LC_ALL for the test's length and puts back what was there.
class ScopedLcAll {
 public:
  explicit ScopedLcAll(const char* value) {
    if (const char* old = ::getenv("LC_ALL")) old_ = old;
    ::setenv("LC_ALL", value, 1);
  }
  ~ScopedLcAll() {
    if (old_) {
      ::setenv("LC_ALL", old_->c_str(), 1);
    } else {
      ::unsetenv("LC_ALL");
    }
  }

 private:
  std::optional<std::string> old_;
};

TEST(PosixConsoleTest, EncodingFollowsTheLocalesCharacterSet) {
  struct Case {
    const char* locale;
    TerminalEncoding encoding;
  };
  const Case cases[] = {
      {"C.UTF-8", TerminalEncoding::kUtf8},
      {"C", TerminalEncoding::kEightBit},
      {"POSIX", TerminalEncoding::kEightBit},
      // A locale that is not installed: the C locale's character set, not UTF-8.
      {"xx_XX.UTF-8", TerminalEncoding::kEightBit},
  };
  for (const Case& c : cases) {
    ScopedLcAll lc_all(c.locale);
    EXPECT_EQ(ConsoleEncoding(), c.encoding) << c.locale;
  }
}

TEST(PosixConsoleTest, ReadingTheEncodingLeavesTheProgramsLocaleAlone) {
  ScopedLcAll lc_all("C.UTF-8");
  ConsoleEncoding();
  EXPECT_STREQ(::setlocale(LC_ALL, nullptr), "C");
}

}  // namespace
}  // namespace qef
