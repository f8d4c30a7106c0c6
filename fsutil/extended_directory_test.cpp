#include "fsutil/extended_directory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless/headless_directory_search.h"
#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "runtime/international.h"
#include "runtime/runtime.h"
#include "runtime/runtime_state.h"

namespace qef {
namespace {

// 2024-03-07 11:05:09 UTC as a file time.
constexpr uint64_t kMarch7At110509Utc = 133542831090000000;
constexpr uint64_t kTicksPerSecond = 10'000'000;

class ExtendedDirectoryTest : public ::testing::Test {
 protected:
  ExtendedDirectoryTest() : runtime_(files_, settings_, ui_) {
    runtime_.runtime().state().directory_search = &search_;
  }

  std::vector<std::string> Names(const Array& rows) {
    std::vector<std::string> names;
    for (const Usual& row : rows) names.push_back(row.AsArray()[kRowName - 1].AsText());
    return names;
  }

  HeadlessFileSystem files_;
  HeadlessSettings settings_;
  HeadlessUi ui_;
  ScopedRuntime runtime_;
  HeadlessDirectorySearch search_;
};

TEST(DWAttribute2StringTest, LettersInTheirFixedOrder) {
  const struct {
    uint32_t bits;
    const char* letters;
  } cases[] = {
      {0x0, ""},       {0x1, "R"},   {0x21, "AR"}, {0x3, "HR"},         {0x830, "CAD"},
      {0x400, "O"},    {0x1000, ""}, {0x80, ""},   {0xD37, "COTADSHR"}, {0xFFFFFFFF, "COTADSHR"},
      {0x116, "TDSH"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DWAttribute2String(c.bits), c.letters) << std::hex << c.bits;
  }
}

TEST(FileAttributeOKTest, ExcludesOnlyFilterableAttributesTheFilterLacks) {
  const struct {
    uint32_t filter;
    uint32_t attributes;
    bool ok;
  } cases[] = {
      {0, 0x0, true},
      {0, 0x1, true},
      {0, 0x20, true},
      {0, 0x21, true},
      {0, 0x80, true},
      {0, 0x1000, true},
      {0, 0x10, false},
      {0, 0x4, false},
      {0, 0x2, false},
      {0, 0x800, false},
      {0, 0x400, false},
      {0, 0x100, false},
      {0x10, 0x10, true},
      {0x10, 0x12, false},
      {0x12, 0x12, true},
      {0x12, 0x16, false},
      {0x16, 0x16, true},
      {0xD16, 0xFFFFFFFF, true},
      {0xFFFFFFFF, 0xD16, true},
      {0x1, 0x10, false},
      {0x20, 0x21, true},
      {0x400, 0x410, false},
      {0x410, 0x410, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileAttributeOK(c.filter, c.attributes), c.ok)
        << std::hex << c.filter << " " << c.attributes;
  }
}

TEST_F(ExtendedDirectoryTest, FilterFromLettersOrNumbers) {
  using E = HeadlessDirectorySearch;
  search_.Script(
      "C:\\dir\\*",
      {E::Entry(".", 0x10), E::Entry("..", 0x10), E::Entry("plain.txt", 0x20),
       E::Entry("ro.txt", 0x21), E::Entry("sub", 0x10), E::Entry("hidden.dir", 0x12),
       E::Entry("sys.dir", 0x16), E::Entry("hidden.txt", 0x23), E::Entry("system.sys", 0x24),
       E::Entry("packed.txt", 0x820), E::Entry("link", 0x420), E::Entry("temp.tmp", 0x120),
       E::Entry("odd.bits", 0x1080)});
  const std::vector<std::string> plain = {"plain.txt", "ro.txt", "odd.bits"};
  const std::vector<std::string> with_dirs = {".", "..", "plain.txt", "ro.txt", "sub", "odd.bits"};
  const std::vector<std::string> all = {
      ".",          "..",         "plain.txt",  "ro.txt", "sub",      "hidden.dir", "sys.dir",
      "hidden.txt", "system.sys", "packed.txt", "link",   "temp.tmp", "odd.bits"};
  const struct {
    Usual filter;
    std::vector<std::string> names;
  } cases[] = {
      {Usual(), plain},
      {Usual::String(""), plain},
      {Usual::String("D"), with_dirs},
      {Usual::String("d"), with_dirs},
      {Usual::String("DD"), with_dirs},
      {Usual::String("DH"),
       {".", "..", "plain.txt", "ro.txt", "sub", "hidden.dir", "hidden.txt", "odd.bits"}},
      {Usual::String("H"), {"plain.txt", "ro.txt", "hidden.txt", "odd.bits"}},
      {Usual::String("sHd"),
       {".", "..", "plain.txt", "ro.txt", "sub", "hidden.dir", "sys.dir", "hidden.txt",
        "system.sys", "odd.bits"}},
      {Usual::String("ARV"), plain},
      {Usual::String("c"), {"plain.txt", "ro.txt", "packed.txt", "odd.bits"}},
      {Usual::String("O"), {"plain.txt", "ro.txt", "link", "odd.bits"}},
      {Usual::String("t"), {"plain.txt", "ro.txt", "temp.tmp", "odd.bits"}},
      {Usual::String("dshcot"), all},
      {Usual::Dword(0x10), with_dirs},
      {Usual::Dword(0xD16), all},
      {Usual::Dword(0xFFFFFFFF), all},
      {Usual::Dword(0x1), plain},
      {Usual::Long(16), with_dirs},
      {Usual::Long(-1), all},
      {Usual::Float(16.0), with_dirs},
      {Usual::Logic(true), plain},
      {Usual::Sym(Symbol("D")), plain},
      {Usual::Arr({Usual::String("D")}), plain},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Names(ExtendedDirectory("C:\\dir\\*", c.filter)), c.names) << AsString(c.filter);
  }
  EXPECT_EQ(search_.open_searches(), 0u);
}

TEST_F(ExtendedDirectoryTest, NothingFoundGivesAnEmptyListWithoutClosing) {
  EXPECT_TRUE(ExtendedDirectory("C:\\missing\\*.AEF", Usual::String("D")).empty());
  EXPECT_EQ(search_.searched, std::vector<std::string>{"C:\\missing\\*.AEF"});
  EXPECT_EQ(search_.closes, 0);
}

TEST_F(ExtendedDirectoryTest, SearchIsClosedOnceAndPathPassedUnchanged) {
  search_.Script("a b\\*.?EF", {HeadlessDirectorySearch::Entry("X.AEF", 0x20)});
  EXPECT_EQ(ExtendedDirectory("a b\\*.?EF").size(), 1u);
  EXPECT_EQ(search_.searched, std::vector<std::string>{"a b\\*.?EF"});
  EXPECT_EQ(search_.closes, 1);
  EXPECT_EQ(search_.open_searches(), 0u);
}

TEST_F(ExtendedDirectoryTest, WithoutADirectorySearchNothingIsFound) {
  runtime_.runtime().state().directory_search = nullptr;
  EXPECT_TRUE(ExtendedDirectory("*", Usual::Dword(0xD16)).empty());
}

TEST_F(ExtendedDirectoryTest, RowHasTwelveValuesOfTheirTypes) {
  WIN32_FIND_DATAA data =
      HeadlessDirectorySearch::Entry("Long Name.text", 0x21, 0, 0, "LONGNA~1.TEX");
  data.ftLastWriteTime = MakeFileTime(kMarch7At110509Utc);
  data.ftCreationTime = MakeFileTime(kMarch7At110509Utc - 86400 * kTicksPerSecond);  // a day before
  data.ftLastAccessTime =
      MakeFileTime(kMarch7At110509Utc + 3600 * kTicksPerSecond);  // an hour after
  search_.SetUtcOffsetSeconds(2 * 3600);
  SetDateFrmt("DD.MM.YYYY");
  SetCentury(true);

  Array row = ConvertFindData(data);
  ASSERT_EQ(row.size(), 12u);
  const uint32_t types[] = {STRING, UINT64, DATE,   STRING, STRING, DATE,
                            STRING, DATE,   STRING, STRING, DWORD,  LONGINT};
  for (size_t i = 0; i < row.size(); ++i) EXPECT_EQ(row[i].Type(), types[i]) << i + 1;
  EXPECT_EQ(row[0].AsText(), "Long Name.text");
  EXPECT_EQ(row[1].AsUint64(), 0u);
  EXPECT_EQ(row[2].AsDate(), (Date{2024, 3, 7}));
  EXPECT_EQ(row[3].AsText(), "13:05:09");
  EXPECT_EQ(row[4].AsText(), "AR");
  EXPECT_EQ(row[5].AsDate(), (Date{2024, 3, 7}));
  EXPECT_EQ(row[6].AsText(), "14:05:09");
  EXPECT_EQ(row[7].AsDate(), (Date{2024, 3, 6}));
  EXPECT_EQ(row[8].AsText(), "13:05:09");
  EXPECT_EQ(row[9].AsText(), "LONGNA~1.TEX");
  EXPECT_EQ(row[10].AsDword(), 0x21u);
  EXPECT_EQ(row[11].AsLong(), 47109);
  EXPECT_EQ(AsString(row[2]), "07.03.2024");
}

TEST_F(ExtendedDirectoryTest, SizeJoinsBothHalves) {
  const struct {
    uint32_t high;
    uint32_t low;
    uint64_t size;
  } cases[] = {{0, 0, 0},
               {1, 0, 4294967296u},
               {0, 0xFFFFFFFF, 4294967295u},
               {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFFFFFFFFFFu}};
  for (const auto& c : cases) {
    WIN32_FIND_DATAA data = HeadlessDirectorySearch::Entry("f", 0);
    data.nFileSizeHigh = c.high;
    data.nFileSizeLow = c.low;
    EXPECT_EQ(ConvertFindData(data)[kRowSize - 1].AsUint64(), c.size);
  }
}

TEST_F(ExtendedDirectoryTest, EmptyShortNameFallsBackToTheLongName) {
  EXPECT_EQ(ConvertFindData(HeadlessDirectorySearch::Entry("a.txt", 0))[kRowShortName - 1].AsText(),
            "a.txt");
  EXPECT_EQ(ConvertFindData(HeadlessDirectorySearch::Entry("long name.txt", 0, 0, 0,
                                                           "LONGNA~1.TXT"))[kRowShortName - 1]
                .AsText(),
            "LONGNA~1.TXT");
}

TEST_F(ExtendedDirectoryTest, UnterminatedNamesStopAtTheirField) {
  WIN32_FIND_DATAA data = HeadlessDirectorySearch::Entry("", 0);
  std::fill(std::begin(data.cFileName), std::end(data.cFileName), 'n');
  std::fill(std::begin(data.cAlternateFileName), std::end(data.cAlternateFileName), 's');
  Array row = ConvertFindData(data);
  EXPECT_EQ(row[kRowName - 1].AsText(), std::string(260, 'n'));
  EXPECT_EQ(row[kRowShortName - 1].AsText(), std::string(14, 's'));
}

TEST_F(ExtendedDirectoryTest, TimeFollowsTheInternationalSettings) {
  search_.SetUtcOffsetSeconds(2 * 3600);
  const struct {
    uint32_t separator;
    bool am_pm;
    uint64_t utc;
    const char* text;
    int32_t seconds;
  } cases[] = {
      {':', false, kMarch7At110509Utc, "13:05:09", 47109},
      {'.', false, kMarch7At110509Utc, "13.05.09", 47109},
      {':', true, kMarch7At110509Utc, "01:05:09 pm", 47109},
      {':', true, kMarch7At110509Utc - 13 * 3600 * kTicksPerSecond, "12:05:09 am", 309},
      {':', true, kMarch7At110509Utc - 1 * 3600 * kTicksPerSecond, "12:05:09 pm", 43509},
      {':', false,
       kMarch7At110509Utc + 10 * 3600 * kTicksPerSecond + 54 * 60 * kTicksPerSecond +
           50 * kTicksPerSecond + 9'999'999,
       "23:59:59", 86399},
  };
  SetAMExt(" am");
  SetPMExt(" pm");
  for (const auto& c : cases) {
    SetTimeSep(c.separator);
    SetAmPm(c.am_pm);
    Array value = UTC2DateTime(MakeFileTime(c.utc));
    ASSERT_EQ(value.size(), 3u);
    EXPECT_EQ(value[1].AsText(), c.text);
    EXPECT_EQ(value[2].AsLong(), c.seconds);
  }
}

TEST_F(ExtendedDirectoryTest, UnconvertibleTimeGivesEmptyValues) {
  search_.SetUtcOffsetSeconds(-3600);
  for (uint64_t utc : {uint64_t{0}, uint64_t{1} << 63, ~uint64_t{0}}) {
    Array value = UTC2DateTime(MakeFileTime(utc));
    EXPECT_TRUE(value[0].AsDate().IsNull()) << utc;
    EXPECT_EQ(value[1].AsText(), "");
    EXPECT_EQ(value[2].AsLong(), 0);
  }
}

}  // namespace
}  // namespace qef
