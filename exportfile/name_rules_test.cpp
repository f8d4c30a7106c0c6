#include "exportfile/name_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace qef {
namespace {

// One table for the check and the strict repair: each name, why it is invalid (empty when it is
// valid), and what the three steps make of it.
TEST(NameRulesTest, CheckAndStrictRepairOfEachName) {
  struct Case {
    std::string name;
    std::string reason;
    std::string repaired;
  } cases[] = {
      {"Fine", "", "Fine"},
      {"", "empty", ""},
      {"CO-", "", "CO-"},
      {"CON", "reserved device name CON", "CO-"},
      {"con", "reserved device name CON", "co-"},
      {"con.prg", "reserved device name CON", "co-.prg"},
      {"PRN", "reserved device name PRN", "PR-"},
      {"aux.a.b", "reserved device name AUX", "au-.a.b"},
      {"Nul", "reserved device name NUL", "Nu-"},
      {"NULL", "", "NULL"},
      {"CONSOLE", "", "CONSOLE"},
      {"COM1", "reserved device name COM1", "COM-"},
      {"com0", "reserved device name COM0", "com-"},
      {"lpt9.txt", "reserved device name LPT9", "lpt-.txt"},
      {"COM\xB9", "reserved device name COM\xB9", "COM-"},
      {"lpt\xB2", "reserved device name LPT\xB2", "lpt-"},
      {"LPT\xB3.x", "reserved device name LPT\xB3", "LPT-.x"},
      {"COM\xB4", "", "COM\xB4"},
      {"COMA", "", "COMA"},
      {"COM10", "", "COM10"},
      {"x.CON", "", "x.CON"},
      {"Print.", "ends in \".\"", "Print-"},
      {"A . ", "ends in \" \"", "A---"},
      {"...", "ends in \".\"", "---"},
      {"a.b", "", "a.b"},
      {"Tab\tName", "control character 0x09 at 3", "Tab-Name"},
      {"\x01x\x1F\x1Fy", "control character 0x01 at 0 (and 2 more)", "-x--y"},
      {"a\x7F", "", "a\x7F"},
      {"CON.", "reserved device name CON; ends in \".\"", "CO--"},
      {"\x1B"
       "CON",
       "control character 0x1B at 0", "-CON"},
      {"CO\x1B", "control character 0x1B at 2", "CO-"},
      {"nul\x09.", "control character 0x09 at 3; ends in \".\"", "nul--"},
      {"lpt1\x01.c ", "control character 0x01 at 4; ends in \" \"", "lpt1-.c-"},
      {"com2.\x02 ", "control character 0x02 at 5; reserved device name COM2; ends in \" \"",
       "com-.--"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(InvalidNameReason(c.name), c.reason);
    std::string body = c.name;
    StrictRepairName(body);
    EXPECT_EQ(body, c.repaired);
    EXPECT_EQ(InvalidNameReason(body), c.name.empty() ? "empty" : "") << "the repair mends all";
  }
}

TEST(NameRulesTest, StrictRepairTouchesOnlyTheNameBeforeTheZeroByte) {
  std::string body("CON.\0CON. \x01", 11);
  StrictRepairName(body);
  EXPECT_EQ(body, std::string("CO--\0CON. \x01", 11));
  EXPECT_EQ(NameLength(body), 4u);
  EXPECT_EQ(NameLength("no zero"), 7u);
  EXPECT_EQ(NameLength(std::string("\0x", 2)), 0u);
}

TEST(NameRulesTest, EachStepAlone) {
  std::string name = "CON\x01. ";
  ReplaceTrailingDotsAndBlanks(name.data(), name.size());
  EXPECT_EQ(name, "CON\x01--");
  BreakReservedDeviceName(name.data(), name.size());
  EXPECT_EQ(name, "CON\x01--") << "the part before the first \".\" is CON\\x01--";
  ReplaceControlCharacters(name.data(), name.size());
  EXPECT_EQ(name, "CON---");
  name = "aux.";
  BreakReservedDeviceName(name.data(), name.size());
  EXPECT_EQ(name, "au-.");
}

}  // namespace
}  // namespace qef
