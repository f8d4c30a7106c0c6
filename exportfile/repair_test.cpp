#include "exportfile/repair.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "exportfile/name_rules.h"
#include "exportfile/testing/records.h"

namespace qef {
namespace {

using testing::ModuleBody;

std::string Replace(const RepairSettings& settings, std::string body) {
  CharacterMap(settings).Apply(body);
  return body;
}

TEST(CharacterMapTest, ReplacesPassByPassInTheOrderOfBad) {
  struct Case {
    const char* name;
    RepairSettings settings;
    std::string body;
    std::string expected;
  } cases[] = {
      {"defaults", WithDefaults("", ""), "a:b/c\\d*e\"f'g?h|i<j>k", "a-b-c-d-e-f-g-h-i-j-k"},
      {"later pass sees earlier result", {"ab", "bc"}, "xaybz", "xcycz"},
      {"earlier pass does not see later result", {"ba", "cb"}, "xaybz", "xbycz"},
      {"letter case matters", {"a", "-"}, "aA", "-A"},
      {"short Good gives hyphens", {"abc", "x"}, "abcabc", "x--x--"},
      {"Good beyond Bad is unused", {"a", "xyz"}, "abz", "xbz"},
      {"zero byte and high bytes",
       {std::string("\0\xE9", 2), "_e"},
       std::string("A\0\xE9", 3),
       "A_e"},
      {"blank inside Bad is a character", {" :", "_-"}, "a b:c", "a_b-c"},
  };
  for (const Case& c : cases) EXPECT_EQ(Replace(c.settings, c.body), c.expected) << c.name;
}

// The replacement as written: every Bad byte in turn, over the whole body as it stands.
std::string ReplacePassByPass(const std::string& bad, const std::string& good, std::string body) {
  for (size_t n = 0; n < bad.size(); ++n) {
    for (char& c : body) {
      if (c == bad[n]) c = n < good.size() ? good[n] : '-';
    }
  }
  return body;
}

TEST(CharacterMapTest, EqualsThePassByPassReplacementForLongAndChainedSettings) {
  std::string every_byte;
  for (int byte = 0; byte < 256; ++byte) every_byte += static_cast<char>(byte);
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    // Few distinct bytes make long chains: values gather in one group and move on together.
    size_t length = round < 100 ? random() % 40 : 1000 + random() % 5000;
    int alphabet = 2 + static_cast<int>(random() % 254);
    std::string bad;
    std::string good;
    for (size_t i = 0; i < length; ++i) bad += static_cast<char>(random() % alphabet);
    for (size_t i = 0; i < length - random() % (length + 1) / 2; ++i)
      good += static_cast<char>(random() % alphabet);
    ASSERT_EQ(Replace({bad, good}, every_byte), ReplacePassByPass(bad, good, every_byte))
        << "round " << round;
  }
}

TEST(RepairSettingsTest, BlankOrAbsentValuesTakeTheirDefaultsIndependently) {
  struct Case {
    std::string bad, good, expected_bad, expected_good;
  } cases[] = {
      {"", "", ":/\\*\"'?|<>", "----------"}, {" \t\r\n ", "", ":/\\*\"'?|<>", "----------"},
      {"abc", "", "abc", "----------"},       {"", "xyz", ":/\\*\"'?|<>", "xyz"},
      {" a ", "\t", " a ", "----------"},
  };
  for (const Case& c : cases) {
    RepairSettings settings = WithDefaults(c.bad, c.good);
    EXPECT_EQ(settings.bad, c.expected_bad);
    EXPECT_EQ(settings.good, c.expected_good);
  }
  EXPECT_EQ(std::string(kDefaultBad).size(), 10u);
}

// The final bodies of a sequence of module bodies.
std::vector<std::string> Distinct(const std::vector<std::string>& bodies) {
  ModuleNameList names;
  std::vector<std::string> result;
  for (std::string body : bodies) {
    names.MakeDistinctAndAdd(body);
    result.push_back(body);
  }
  return result;
}

std::vector<std::string> Modules(const std::vector<std::string>& names) {
  std::vector<std::string> bodies;
  for (const auto& name : names) bodies.push_back(ModuleBody(name));
  return bodies;
}

TEST(ModuleNameListTest, CollidingNamesGetCounters) {
  struct Case {
    const char* name;
    std::vector<std::string> in;
    std::vector<std::string> out;
  } cases[] = {
      {"three the same", {"A-B", "A-B", "A-B"}, {"A-B", "A-1", "A-2"}},
      {"letter case", {"Ab", "aB"}, {"Ab", "a1"}},
      {"candidate taken too", {"AB", "A1", "AB"}, {"AB", "A1", "A2"}},
      {"different lengths differ", {"AB", "ABC"}, {"AB", "ABC"}},
      {"one character", {"X", "x", "X"}, {"X", "1", "2"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Distinct(Modules(c.in)), Modules(c.out)) << c.name;
}

TEST(ModuleNameListTest, ElevenOfOneNameCountToTen) {
  std::vector<std::string> expected = {"ABC", "AB1", "AB2", "AB3", "AB4", "AB5",
                                       "AB6", "AB7", "AB8", "AB9", "A10"};
  EXPECT_EQ(Distinct(Modules(std::vector<std::string>(11, "ABC"))), Modules(expected));
}

TEST(ModuleNameListTest, FromTheHundredAndFirstOnEveryNameEndsIn99) {
  auto result = Distinct(Modules(std::vector<std::string>(105, "Name")));
  EXPECT_EQ(result[98], ModuleBody("Na98"));
  EXPECT_EQ(result[99], ModuleBody("Na99"));
  for (size_t i = 100; i < result.size(); ++i) EXPECT_EQ(result[i], ModuleBody("Na99")) << i;
}

TEST(ModuleNameListTest, OneCharacterNameKeepsNineWhenTwoDigitsDoNotFit) {
  auto result = Distinct(Modules(std::vector<std::string>(12, "Q")));
  EXPECT_EQ(result[9], ModuleBody("9"));
  EXPECT_EQ(result[10], ModuleBody("9"));
  EXPECT_EQ(result[11], ModuleBody("9"));
}

TEST(ModuleNameListTest, BodiesWithoutNameOrZeroAreNeverCounted) {
  std::string no_zero = "ABC";
  std::string empty_name = std::string("\0ABC", 4);
  EXPECT_EQ(Distinct({no_zero, no_zero, "abc"}),
            (std::vector<std::string>{no_zero, no_zero, "abc"}));
  EXPECT_EQ(Distinct({empty_name, empty_name}), (std::vector<std::string>{empty_name, empty_name}));
}

TEST(ModuleNameListTest, TheWholeBodyIsCompared) {
  std::string a = ModuleBody("M") + "x";
  std::string b = ModuleBody("M") + "y";
  std::string a_upper = ModuleBody("m") + "X";
  EXPECT_EQ(Distinct({a, b, a_upper}), (std::vector<std::string>{a, b, ModuleBody("1") + "X"}));
}

TEST(ModuleNameListTest, OnlyAsciiLettersFoldTheirCase) {
  std::string e_acute_lower = ModuleBody("\xE9");  // é and É in the ANSI code page
  std::string e_acute_upper = ModuleBody("\xC9");
  EXPECT_EQ(Distinct({e_acute_lower, e_acute_upper}),
            (std::vector<std::string>{e_acute_lower, e_acute_upper}));
}

TEST(ModuleNameListTest, CounterResultsMatchAPlainLinearSearch) {
  // Names that share candidates in changing orders; compared with the search done the long way.
  std::vector<std::string> names = {"AB", "ab", "A1", "Ab", "A2", "xA1", "AB", "A3", "aB", "AB"};
  for (int i = 0; i < 150; ++i) names.push_back(i % 3 == 0 ? "AB" : i % 3 == 1 ? "A5" : "Zq");
  std::vector<std::string> expected;
  auto upper = [](std::string s) {
    for (char& c : s) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    return s;
  };
  for (std::string body : Modules(names)) {
    size_t zero = body.find('\0');
    for (int counter = 1;; ++counter) {
      bool equal = false;
      for (const auto& earlier : expected) equal = equal || upper(earlier) == upper(body);
      if (!equal || zero == std::string::npos || zero == 0) break;
      if (counter < 10) {
        body[zero - 1] = static_cast<char>('0' + counter);
      } else if (zero >= 2) {
        body[zero - 2] = static_cast<char>('0' + counter / 10);
        body[zero - 1] = static_cast<char>('0' + counter % 10);
      }
      if (counter == 99) break;
    }
    expected.push_back(body);
  }
  EXPECT_EQ(Distinct(Modules(names)), expected);
}

// One table for the comparison by reader names: whether a second module body names the same
// module as a first one for another reader, and what the strict counter and the check make of
// it. The whole body is compared only by the default repair.
TEST(ReaderNameTest, SecondBodyNamesTheFirstModuleOrNot) {
  struct Case {
    const char* what;
    std::string first;
    std::string second;
    bool same;           // for the other reader
    std::string strict;  // the second body after MakeNameDistinctAndAdd
  } cases[] = {
      {"a zero byte in one body only", "Report-Print", ModuleBody("Report-Print"), true,
       ModuleBody("Report-Prin1")},
      {"different bytes after the zero", std::string("Report-Print\0\x01\0", 15),
       std::string("Report-Print\0\0\0", 15), true, std::string("Report-Prin1\0\0\0", 15)},
      {"ASCII case", ModuleBody("Ab"), ModuleBody("aB"), true, ModuleBody("a1")},
      {"accented letters", ModuleBody("R\xE9sum\xE9"), ModuleBody("R\xC9SUM\xC9"), true,
       ModuleBody("R\xC9SUM1")},
      {"the four pairs off the row", ModuleBody("\x9A\x9C\x9E\xFF"), ModuleBody("\x8A\x8C\x8E\x9F"),
       true,
       ModuleBody("\x8A\x8C\x8E"
                  "1")},
      {"division and multiplication signs differ", ModuleBody("a\xF7"), ModuleBody("A\xD7"), false,
       ModuleBody("A\xD7")},
      {"no zero byte in either", "Name", "NAME", true, "NAM1"},
      {"a name is no prefix of a longer one", ModuleBody("Nam"), ModuleBody("Name"), false,
       ModuleBody("Name")},
      {"empty names", std::string("\0a", 2), std::string("\0a", 2), false, std::string("\0a", 2)},
      {"an empty body", "", "", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ReaderNameKey(c.first) == ReaderNameKey(c.second) && !ReaderNameKey(c.first).empty(),
              c.same);
    ModuleNameList names;
    std::string first = c.first;
    std::string second = c.second;
    names.MakeNameDistinctAndAdd(first);
    names.MakeNameDistinctAndAdd(second);
    EXPECT_EQ(first, c.first) << "the first keeps its name";
    EXPECT_EQ(second, c.strict);
    ReaderNameIndex index;
    EXPECT_EQ(index.Add(c.first, 10), -1);
    EXPECT_EQ(index.Add(c.second, 20), c.same ? 10 : -1);
  }
}

// Each byte folds to the partner the other reader gives it; every other byte, upper-case
// letters among them, stays as it is.
TEST(ReaderNameTest, LetterCaseFoldsByTheWindows1252Pairs) {
  std::array<int, 256> partner;
  partner.fill(-1);
  for (int lower = 'a'; lower <= 'z'; ++lower) partner[lower] = lower - 0x20;
  for (int lower = 0xE0; lower <= 0xFE; ++lower) {
    if (lower != 0xF7) partner[lower] = lower - 0x20;
  }
  const int pairs[][2] = {{0x9A, 0x8A}, {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F}};
  for (const auto& pair : pairs) partner[pair[0]] = pair[1];
  for (int byte = 0; byte < 256; ++byte) {
    const auto folded = static_cast<uint8_t>(FoldLetterCase(static_cast<char>(byte)));
    EXPECT_EQ(folded, partner[byte] >= 0 ? partner[byte] : byte) << "byte " << byte;
  }
}

}  // namespace
}  // namespace qef
