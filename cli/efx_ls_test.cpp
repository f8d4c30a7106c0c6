#include "cli/efx_ls.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/headless/headless_directory_search.h"
#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "runtime/international.h"
#include "runtime/runtime.h"
#include "runtime/runtime_state.h"

namespace qef {
namespace {

std::string ReadAll(std::FILE* file) {
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  return text;
}

// 2024-03-07 11:05:09 UTC.
constexpr uint64_t kWritten = 133542831090000000;

class EfxLsTest : public ::testing::Test {
 protected:
  EfxLsTest() : runtime_(fs_, settings_, ui_), out_(std::tmpfile()), err_(std::tmpfile()) {
    runtime_.runtime().state().directory_search = &search_;
    search_.SetUtcOffsetSeconds(2 * 3600);
    SetDateFrmt("DD.MM.YYYY");
    SetCentury(true);
    using E = HeadlessDirectorySearch;
    search_.Script("dir/*",
                   {E::Entry(".", 0x10, 0, kWritten), E::Entry("a.AEF", 0x21, 12, kWritten),
                    E::Entry("Quote\"d.MEF", 0x20, 4294967296u, kWritten, "QUOTED~1.MEF")});
  }
  ~EfxLsTest() override {
    std::fclose(out_);
    std::fclose(err_);
  }
  int Run(const std::vector<std::string>& args) {
    EfxEnvironment env{fs_, settings_, ui_, out_, err_};
    return RunEfx(args, env);
  }

  HeadlessFileSystem fs_;
  HeadlessSettings settings_;
  HeadlessUi ui_;
  ScopedRuntime runtime_;
  HeadlessDirectorySearch search_;
  std::FILE* out_;
  std::FILE* err_;
};

TEST_F(EfxLsTest, PrintsAnAlignedTableWithAHeader) {
  EXPECT_EQ(Run({"ls", "dir/*"}), kExitOk);
  EXPECT_EQ(
      ReadAll(out_),
      "Name               Size  Written     Time      Attr  Accessed    Time      Created     "
      "Time      Short name    Bits  Seconds\n"
      "a.AEF                12  07.03.2024  13:05:09  AR    07.03.2024  13:05:09  07.03.2024  "
      "13:05:09  a.AEF         0x21    47109\n"
      "Quote\"d.MEF  4294967296  07.03.2024  13:05:09  A     07.03.2024  13:05:09  07.03.2024  "
      "13:05:09  QUOTED~1.MEF  0x20    47109\n");
}

TEST_F(EfxLsTest, FilterFromLettersOrANumber) {
  for (const char* filter : {"D", "d", "0x10", "16", "0xD16"}) {
    std::FILE* out = out_;
    out_ = std::tmpfile();
    EXPECT_EQ(Run({"ls", "dir/*", filter}), kExitOk);
    EXPECT_NE(ReadAll(out_).find("\n.   "), std::string::npos) << filter;
    std::fclose(out_);
    out_ = out;
  }
  EXPECT_EQ(Run({"ls", "dir/*", "A"}), kExitOk);
  EXPECT_EQ(ReadAll(out_).find("\n.   "), std::string::npos);
}

TEST_F(EfxLsTest, JsonIsAnArrayOfObjectsWithStableKeys) {
  EXPECT_EQ(Run({"ls", "--json", "dir/*"}), kExitOk);
  EXPECT_EQ(
      ReadAll(out_),
      "[\n"
      "  {\"name\": \"a.AEF\", \"size\": 12, \"write_date\": \"2024-03-07\", \"write_time\": "
      "\"13:05:09\", \"attributes\": \"AR\", \"access_date\": \"2024-03-07\", "
      "\"access_time\": \"13:05:09\", \"creation_date\": \"2024-03-07\", \"creation_time\": "
      "\"13:05:09\", \"short_name\": \"a.AEF\", \"attribute_bits\": 33, \"write_seconds\": "
      "47109},\n"
      "  {\"name\": \"Quote\\\"d.MEF\", \"size\": 4294967296, \"write_date\": \"2024-03-07\", "
      "\"write_time\": \"13:05:09\", \"attributes\": \"A\", \"access_date\": \"2024-03-07\", "
      "\"access_time\": \"13:05:09\", \"creation_date\": \"2024-03-07\", \"creation_time\": "
      "\"13:05:09\", \"short_name\": \"QUOTED~1.MEF\", \"attribute_bits\": 32, "
      "\"write_seconds\": 47109}\n"
      "]\n");
}

TEST_F(EfxLsTest, NothingFoundIsAnEmptyListing) {
  EXPECT_EQ(Run({"ls", "--json", "none/*"}), kExitOk);
  EXPECT_EQ(ReadAll(out_), "[]\n");
}

// Unlike "no match", a folder that cannot be read (access denied, a path too long) has no
// listing at all; a folder that does not exist stays an empty one.
TEST_F(EfxLsTest, AFolderThatCannotBeReadIsAnError) {
  search_.search_errors["locked/*"] = 5;
  search_.search_errors["long/*"] = 206;
  search_.search_errors["gone/*"] = kSearchNoFolder;
  EXPECT_EQ(Run({"ls", "locked/*"}), kExitFailed);
  EXPECT_EQ(Run({"ls", "--json", "long/*"}), kExitFailed);
  EXPECT_EQ(ReadAll(err_),
            "efx: cannot read the folder of locked/*\nefx: cannot read the folder of long/*\n");
  EXPECT_EQ(ReadAll(out_), "");
  EXPECT_EQ(Run({"ls", "--json", "gone/*"}), kExitOk);
  EXPECT_EQ(ReadAll(out_), "[]\n");
}

TEST_F(EfxLsTest, JsonEscapesControlAndHighBytes) {
  search_.Script("odd", {HeadlessDirectorySearch::Entry("a\\b\t\x01\xE9", 0)});
  EXPECT_EQ(Run({"ls", "--json", "odd"}), kExitOk);
  // Each byte is the character of its number: 0xE9 is U+00E9, written in UTF-8.
  EXPECT_NE(ReadAll(out_).find("\"name\": \"a\\\\b\\t\\u0001\xC3\xA9\""), std::string::npos);
}

TEST_F(EfxLsTest, TableShowsControlCharactersEscapedAndKeepsItsColumns) {
  search_.Script("odd", {HeadlessDirectorySearch::Entry("a\x1b[2J\tb\xE9", 0x20, 7, kWritten),
                         HeadlessDirectorySearch::Entry("plain", 0x20, 7, kWritten)});
  EXPECT_EQ(Run({"ls", "odd"}), kExitOk);
  std::string table = ReadAll(out_);
  EXPECT_EQ(table.find('\x1b'), std::string::npos) << table;
  EXPECT_EQ(table.find('\t'), std::string::npos) << table;
  // 0xE9 alone is no UTF-8 character: escaped too, so every cell is as wide as its bytes.
  size_t odd = table.find("a\\x1b[2J\\x09b\\xe9 ");
  size_t plain = table.find("plain ");
  ASSERT_NE(odd, std::string::npos) << table;
  ASSERT_NE(plain, std::string::npos) << table;
  // The size column lines up.
  EXPECT_EQ(table.find(" 7 ", odd) - odd, table.find(" 7 ", plain) - plain) << table;
}

TEST_F(EfxLsTest, UsageErrorsExitWithTwo) {
  for (auto args : std::vector<std::vector<std::string>>{
           {"ls"}, {"ls", "--json"}, {"ls", "a", "b", "c"}, {"ls", "--long", "a"}}) {
    EXPECT_EQ(Run(args), kExitUsage);
  }
  EXPECT_NE(ReadAll(err_).find("Usage: efx ls"), std::string::npos);
}

}  // namespace
}  // namespace qef
