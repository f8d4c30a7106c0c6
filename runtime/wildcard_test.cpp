#include "runtime/wildcard.h"

#include <gtest/gtest.h>

namespace qef {
namespace {

TEST(WildcardTest, MatchesAsWindowsDoes) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  } cases[] = {
      {"*.AEF", "App.AEF", true},
      {"*.AEF", "app.aef", true},
      {"*.AEF", "App.AEF.bak", false},
      {"*.AEF", "AEF", false},
      {"*.*", "README", true},
      {"*.*", ".hidden", true},
      {"*", "anything.at.all", true},
      {"?pp.AEF", "App.AEF", true},
      {"?pp.AEF", "pp.AEF", false},
      {"A*B*C", "AxxBxxC", true},
      {"A*B*C", "AxxBxx", false},
      {"*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
      {"", "", true},
      {"", "x", false},
      {"**", "", true},
      {"App.AEF", "APP.aef", true},
      // A "*" in the name must not use up the pattern's "*" as a plain character.
      {"*", "*x", true},
      {"*.AEF", "*x.AEF", true},
      {"A*", "A*B", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.matches) << c.pattern << " ~ " << c.name;
  }
}

TEST(WildcardTest, AnyOfSeveralPatterns) {
  EXPECT_TRUE(MatchesAnyPattern("*.AEF;*.MEF", "Helpers.mef"));
  EXPECT_TRUE(MatchesAnyPattern("*.AEF; *.MEF", "Helpers.MEF"));
  EXPECT_FALSE(MatchesAnyPattern("*.AEF;*.MEF", "Helpers.fix"));
  EXPECT_FALSE(MatchesAnyPattern(";;", "x"));
}

}  // namespace
}  // namespace qef
