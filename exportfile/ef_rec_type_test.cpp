#include "exportfile/ef_rec_type.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

namespace qef {
namespace {

// The record types as the format lists them, one "code name" per line.
constexpr char kListedTypes[] =
    "0000 AEF_REC_COMMENT\n"
    "0001 AEF_REC_HEADER\n"
    "0002 AEF_REC_APPNAME\n"
    "0003 AEF_REC_COMPOPTS\n"
    "0004 AEF_REC_SPATH\n"
    "0005 AEF_REC_UDC\n"
    "0006 AEF_REC_TIME\n"
    "0009 AEF_REC_APPDBG\n"
    "000A AEF_REC_LIBFLG\n"
    "000B AEF_REC_DLLFLG\n"
    "000C AEF_REC_SRCLOG\n"
    "000D AEF_REC_EXENAME\n"
    "000E AEF_REC_ICNNAME\n"
    "000F AEF_REC_APPDESC\n"
    "0020 AEF_REC_MODNAME\n"
    "0021 AEF_REC_MODDBG\n"
    "0022 AEF_REC_EXTMODNAME\n"
    "0023 AEF_REC_MODOEM\n"
    "0024 AEF_REC_MODDESC\n"
    "0040 AEF_REC_ENTNAME\n"
    "0041 AEF_REC_ENTSOURCE\n"
    "0042 AEF_REC_ENTCUSTOM\n"
    "0043 AEF_REC_ENTDESC\n"
    "0044 AEF_REC_ENTTYPE\n"
    "0045 AEF_REC_ENTSUBTYPE\n"
    "0046 AEF_REC_ENTDBG\n"
    "0047 AEF_REC_ENTVISAPP\n"
    "0048 AEF_REC_ENTTIME\n"
    "0049 AEF_REC_ENTLINE\n"
    "004A AEF_REC_ENTDLLNAME\n"
    "004B AEF_REC_ENTDLLIMPNAME\n"
    "004C AEF_REC_ENTDLLIMPORD\n"
    "004D AEF_REC_ENTBLOCKTYPE\n"
    "004E AEF_REC_ENTPROT\n"
    "004F AEF_REC_ENTDEP\n"
    "0050 AEF_REC_ENTIMP\n"
    "0051 AEF_REC_ENTVISIBILITY\n"
    "0052 AEF_REC_ENTVITALITY\n"
    "0053 AEF_REC_ENTREGFLAGS\n"
    "0054 AEF_REC_ENTRESINT\n"
    "0055 AEF_REC_ENTMOD\n"
    "0056 AEF_REC_ENTIMPNAME\n"
    "0060 AEF_REC_DLL\n"
    "0061 AEF_REC_EXTRESNAME\n"
    "0080 AEF_REC_DT_EXTRACT\n"
    "0081 AEF_REC_DT_CODE\n"
    "0082 AEF_REC_DT_DATA\n"
    "0083 AEF_REC_DT_FARDATA\n"
    "0084 AEF_REC_DT_DEPRELINFO\n"
    "0085 AEF_REC_DT_STATIC\n"
    "0086 AEF_REC_DT_LINNUM\n"
    "0090 AEF_REC_FIXUP_COUNT\n"
    "0091 AEF_REC_ATOM_FIXUP\n"
    "009A AEF_REC_DEPRELINFO\n"
    "009B AEF_REC_DEPRELINFO2\n"
    "009C AEF_REC_PROTFLAG\n"
    "0100 AEF_REC_UDCFILE\n"
    "0101 AEF_REC_EXTMOD\n"
    "0102 AEF_REC_DLLFILE\n"
    "0103 AEF_REC_EXTRES\n"
    "0104 AEF_REC_READLOCK\n"
    "0105 AEF_REC_WRITELOCK\n"
    "0106 AEF_REC_PREFIX\n"
    "0107 AEF_REC_APPOPTIONS\n"
    "0108 AEF_REC_GROUPNAME\n"
    "0109 AEF_REC_DISKSIZE\n"
    "010A AEF_REC_EXTMODFLAG\n"
    "010B AEF_REC_MODOPTIONS\n"
    "010C AEF_REC_ENTOPTIONS\n"
    "010D AEF_REC_ENTBODY\n"
    "010E AEF_REC_MODBODY\n"
    "010F AEF_REC_APPBODY\n"
    "0120 AEF_REC_DEFTREE\n"
    "0121 AEF_REC_DOCFILE\n"
    "0122 AEF_REC_DOCFILENAME\n"
    "0123 AEF_REC_ENTDISPNAME\n"
    "0124 AEF_REC_CHFILE\n"
    "0125 AEF_REC_CH\n"
    "FFFF AEF_REC_END\n";

std::map<uint32_t, std::string> ListedTypes() {
  std::map<uint32_t, std::string> types;
  std::istringstream lines(kListedTypes);
  std::string code;
  std::string name;
  while (lines >> code >> name) types[std::stoul(code, nullptr, 16)] = name;
  return types;
}

TEST(EFRecTypeTest, TableHoldsTheListedTypesInAscendingOrder) {
  const auto listed = ListedTypes();
  ASSERT_EQ(listed.size(), 79u);
  const auto table = RecordTypeTable();
  ASSERT_EQ(table.size(), 79u);
  auto expected = listed.begin();
  for (const RecordTypeEntry& entry : table) {
    EXPECT_EQ(entry.code, expected->first);
    EXPECT_EQ(entry.name, expected->second);
    ++expected;
  }
}

TEST(EFRecTypeTest, NamesEveryCodeAsListedAndTheGapsUnknown) {
  const auto listed = ListedTypes();
  for (uint32_t code = 0; code <= 0x10010; ++code) {
    auto found = listed.find(code);
    std::string name = EFRecType(code);
    EXPECT_EQ(name, found == listed.end() ? "Unknown" : found->second) << std::hex << code;
    EXPECT_EQ(name.find('\t'), std::string::npos);
    EXPECT_NE(name.back(), ' ');
  }
}

TEST(EFRecTypeTest, EdgeCodes) {
  struct Case {
    uint32_t code;
    const char* name;
  } cases[] = {
      {0x0002, "AEF_REC_APPNAME"}, {0x0004, "AEF_REC_SPATH"}, {0x0020, "AEF_REC_MODNAME"},
      {0x0000, "AEF_REC_COMMENT"}, {0xFFFF, "AEF_REC_END"},   {65535, "AEF_REC_END"},
      {0x0007, "Unknown"},         {0x0010, "Unknown"},       {0x0126, "Unknown"},
      {0x10000, "Unknown"},        {0xFFFFFFFF, "Unknown"},
  };
  for (const Case& c : cases) EXPECT_EQ(EFRecType(c.code), c.name) << std::hex << c.code;
}

TEST(EFRecTypeTest, LookupTakesTheFirstEntryAndDropsTabsAndTrailingSpaces) {
  const RecordTypeEntry table[] = {
      {"AEF_REC_A\t\t", 1}, {"AEF_REC_B  \t ", 2}, {"AEF\t_REC_C", 3},
      {"FIRST", 4},         {"SECOND", 4},         {" \t ", 5},
  };
  struct Case {
    uint32_t code;
    const char* name;
  } cases[] = {
      {1, "AEF_REC_A"}, {2, "AEF_REC_B"}, {3, "AEF_REC_C"}, {4, "FIRST"}, {5, ""}, {6, "Unknown"},
  };
  for (const Case& c : cases) EXPECT_EQ(RecordTypeName(table, c.code), c.name) << c.code;
}

}  // namespace
}  // namespace qef
