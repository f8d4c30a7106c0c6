#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/efx_test_fixture.h"
#include "exportfile/ef_rec_type.h"
#include "exportfile/export_file.h"
#include "exportfile/testing/records.h"

namespace qef {
namespace {

using nlohmann::json;
using testing::HeaderRecord;
using testing::ModuleBody;
using testing::Record;
using testing::RecordWithLength;

class EfxDumpTest : public EfxCommandTest {
 protected:
  json DumpJson(const std::string& path, std::vector<std::string> options = {}) {
    std::vector<std::string> args = {"dump", "--json"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(path);
    EfxResult result = Run(args);
    EXPECT_EQ(result.status, kExitOk) << result.err;
    return json::parse(result.out);
  }

  std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
  }
};

TEST_F(EfxDumpTest, SamplesAreListedRecordByRecordFromStartToEnd) {
  for (const char* name : {"Invoice Manager.AEF", "Helpers.MEF", "Clean.AEF"}) {
    SCOPED_TRACE(name);
    const std::string content = AddSample(name);
    const json records = DumpJson(name);
    ASSERT_TRUE(records.is_array());
    uint64_t next = 0;
    for (const json& record : records) {
      EXPECT_EQ(record["offset"], next);
      EXPECT_EQ(record["flag"], nullptr);
      const auto type = record["type"].get<uint16_t>();
      EXPECT_EQ(record["name"], EFRecType(type));
      EXPECT_EQ(record["size"], 6 + record["length"].get<uint64_t>());
      EXPECT_EQ(record.contains("body"), IsNameRecord(type));
      if (record.contains("body")) {
        EXPECT_EQ(JsonBytes(record["body"]), content.substr(next + 6, record["length"]));
      }
      next += record["size"].get<uint64_t>();
    }
    EXPECT_EQ(next, content.size());

    // The table has a heading and one line per record, at the same offsets.
    EfxResult text = Run({"dump", name});
    ASSERT_EQ(text.status, kExitOk);
    std::vector<std::string> lines = Lines(text.out);
    ASSERT_EQ(lines.size(), records.size() + 1);
    for (size_t i = 0; i < records.size(); ++i) {
      EXPECT_EQ(std::stoull(lines[i + 1].substr(0, 12)), records[i]["offset"]) << lines[i + 1];
    }
  }
}

TEST_F(EfxDumpTest, SampleNameRecordsAndLinesReadAsExpected) {
  AddSample("Invoice Manager.AEF");
  std::vector<std::string> modules;
  std::vector<std::string> names;
  const json records = DumpJson("Invoice Manager.AEF");
  for (const json& record : records) {
    names.push_back(record["name"]);
    if (record["type"] == AEF_REC_MODNAME) modules.push_back(JsonBytes(record["body"]));
  }
  EXPECT_EQ(modules,
            (std::vector<std::string>{
                std::string("Start\0\x01\0\0\0", 10), ModuleBody("Customer/Supplier"),
                ModuleBody("Report/Print"), ModuleBody("Report:Print"), ModuleBody("report*print"),
                ModuleBody("Tax \"VAT\" Rates?"), ModuleBody("Export|Import")}));
  EXPECT_EQ(std::count(names.begin(), names.end(), "AEF_REC_END"), 2);
  EXPECT_EQ(std::count(names.begin(), names.end(), "Unknown"), 1);

  std::vector<std::string> lines = Lines(Run({"dump", "Invoice Manager.AEF"}).out);
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[0], "      offset  type    name                       length  body");
  EXPECT_EQ(lines[1], "           0  0x0001  AEF_REC_HEADER                 26");
  EXPECT_EQ(
      lines[3],
      "          42  0x0002  AEF_REC_APPNAME                22  \"Invoice: Manager <v2>\\x00\"");
  EXPECT_EQ(lines[4],
            "          70  0x0004  AEF_REC_SPATH                  23  "
            "\"C:\\\\CAVO25\\\\Apps\\\\Invoice\\x00\"");
}

TEST_F(EfxDumpTest, DamagedEndsAreFlaggedAsTheRepairTreatsThem) {
  const std::string head = HeaderRecord() + Record(AEF_REC_APPNAME, "a:b");
  const uint64_t at = head.size();
  const uint32_t beyond = static_cast<uint32_t>(head.size() + 6 + 3 + 1);
  struct Case {
    const char* name;
    std::string tail;
    json expected;     // the last record
    std::string text;  // the end of its line
  } cases[] = {
      {"fragment",
       std::string("\x20\x00\x05", 3),
       {{"offset", at},
        {"type", nullptr},
        {"name", nullptr},
        {"length", nullptr},
        {"size", 3},
        {"flag", "fragment"},
        {"bytes", std::string("\x20\x00\x05", 3)}},
       "-       -                               -  (trailing fragment of 3 bytes: \" "
       "\\x00\\x05\")"},
      {"cut short name",
       RecordWithLength(AEF_REC_SPATH, 8, "x:y"),
       {{"offset", at},
        {"type", 4},
        {"name", "AEF_REC_SPATH"},
        {"length", 8},
        {"size", 9},
        {"flag", "cut_short"},
        {"missing", 5},
        {"body", "x:y     "}},
       "8  \"x:y     \"  (cut short: 5 bytes missing, padded with spaces)"},
      {"cut short other",
       RecordWithLength(0x0041, 7, "xyz"),
       {{"offset", at},
        {"type", 0x41},
        {"name", "AEF_REC_ENTSOURCE"},
        {"length", 7},
        {"size", 9},
        {"flag", "cut_short"},
        {"missing", 4}},
       "7  (cut short: 4 bytes missing, padded with spaces)"},
      {"length beyond the file",
       RecordWithLength(AEF_REC_MODNAME, beyond, "x:y"),
       {{"offset", at},
        {"type", 0x20},
        {"name", "AEF_REC_MODNAME"},
        {"length", beyond},
        {"size", 9},
        {"flag", "beyond_file"}},
       std::to_string(beyond) + "  (length beyond the file: the rest, 9 bytes, copied unchanged)"},
      {"bit 31",
       RecordWithLength(0x1234, 0x80000000u, "") + Record(0x41, "after"),
       {{"offset", at},
        {"type", 0x1234},
        {"name", "Unknown"},
        {"length", 0x80000000u},
        {"size", 17},
        {"flag", "beyond_file"}},
       "2147483648  (length beyond the file: the rest, 17 bytes, copied unchanged)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs_.AddFile("d.AEF", head + c.tail);
    json records = DumpJson("d.AEF");
    ASSERT_EQ(records.size(), 3u);
    json last = records[2];
    if (last.contains("bytes")) last["bytes"] = JsonBytes(last["bytes"]);
    EXPECT_EQ(last, c.expected);
    std::vector<std::string> lines = Lines(Run({"dump", "d.AEF"}).out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(lines[3].ends_with(c.text)) << lines[3];
    EXPECT_EQ(lines[3].rfind(std::to_string(at), 12), 12 - std::to_string(at).size()) << lines[3];
  }
  EXPECT_TRUE(fs_.created.empty());
}

TEST_F(EfxDumpTest, BodiesComeBackByteForByteAndLongOnesAreCut) {
  std::string odd("A\0\x01\x7F\x80\xE9\xFF\"\\z", 10);
  std::string long_name(5000, 'n');
  fs_.AddFile("b.AEF",
              HeaderRecord() + Record(AEF_REC_MODNAME, odd) + Record(AEF_REC_APPNAME, long_name));
  json records = DumpJson("b.AEF");
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(JsonBytes(records[1]["body"]), odd);
  EXPECT_FALSE(records[1].contains("body_omitted"));
  EXPECT_EQ(JsonBytes(records[2]["body"]), long_name.substr(0, 4096));
  EXPECT_EQ(records[2]["body_omitted"], 904);

  std::vector<std::string> lines = Lines(Run({"dump", "b.AEF"}).out);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(lines[2].ends_with("  \"A\\x00\\x01\\x7F\\x80\\xE9\\xFF\\\"\\\\z\"")) << lines[2];
  EXPECT_TRUE(lines[3].ends_with("nnn\" ... (904 more bytes)")) << lines[3].substr(0, 80);
}

TEST_F(EfxDumpTest, TypeFilterTakesNamesAndCodes) {
  AddSample("Invoice Manager.AEF");
  struct Case {
    std::vector<std::string> options;
    std::set<int> types;
    size_t count;
  } cases[] = {
      {{"--type", "MODNAME"}, {0x20}, 7},
      {{"--type", "aef_rec_modname"}, {0x20}, 7},
      {{"--type=ModName"}, {0x20}, 7},
      {{"--type", "32"}, {0x20}, 7},
      {{"--type", "0x20"}, {0x20}, 7},
      {{"--type", "0X0020"}, {0x20}, 7},
      {{"--type", "APPNAME", "--type", "spath"}, {0x02, 0x04}, 2},
      {{"--type", "Unknown"}, {0x30}, 1},
      {{"--type", "65535"}, {0xFFFF}, 2},
      {{"--type", "0x0126"}, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options[0] + " " + (c.options.size() > 1 ? c.options[1] : ""));
    json records = DumpJson("Invoice Manager.AEF", c.options);
    std::set<int> types;
    for (const json& record : records) types.insert(record["type"].get<int>());
    EXPECT_EQ(types, c.types);
    EXPECT_EQ(records.size(), c.count);
  }
  for (const char* wrong : {"MODNAMES", "0x10000", "65536", "-1", "0x", "AEF_REC_"}) {
    EfxResult result = Run({"dump", "--type", wrong, "Invoice Manager.AEF"});
    EXPECT_EQ(result.status, kExitUsage) << wrong;
    EXPECT_NE(result.err.find("unknown record type"), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
  }
}

TEST_F(EfxDumpTest, FilesTheRepairRefusesGetItsMessageAndStatusOne) {
  std::string compressed = HeaderRecord();
  compressed[6] = 0x7F;
  fs_.AddFile("packed.AEF", compressed);
  fs_.AddFile("short.AEF", "Export File");
  struct Case {
    const char* path;
    const char* message;
  } cases[] = {
      {"packed.AEF", "packed.AEF is a compressed Export File and cannot be processed\n"},
      {"short.AEF", "short.AEF is not a valid Export File\n"},
      {"gone.AEF", "Error reading gone.AEF\n"},
  };
  for (const Case& c : cases) {
    for (bool json_output : {false, true}) {
      std::vector<std::string> args = {"dump", c.path};
      if (json_output) args.insert(args.begin() + 1, "--json");
      EfxResult result = Run(args);
      EXPECT_EQ(result.status, kExitFailed) << c.path;
      EXPECT_EQ(result.err, c.message);
      EXPECT_EQ(result.out, "");
    }
  }
}

TEST_F(EfxDumpTest, ARepairedCopyCanBeListedToo) {
  fs_.AddFile("App.fix", HeaderRecord() + Record(AEF_REC_APPNAME, "a-b"));
  json records = DumpJson("App.fix");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1]["body"], "a-b");
}

TEST_F(EfxDumpTest, UsageErrors) {
  for (auto args : std::vector<std::vector<std::string>>{
           {"dump"}, {"dump", "a", "b"}, {"dump", "--type"}, {"dump", "--colour", "a"}}) {
    EXPECT_EQ(Run(args).status, kExitUsage) << args.back();
  }
  EXPECT_TRUE(fs_.opened.empty());
}

TEST_F(EfxDumpTest, CancelEndsTheListWithValidJson) {
  AddSample("Helpers.MEF");
  ui_.ScheduleEvent(3, CommandEvent(IDCANCEL));
  EfxResult result = Run({"dump", "--json", "Helpers.MEF"});
  EXPECT_EQ(result.status, kExitCancelled);
  EXPECT_EQ(result.err, "Cancelled.\n");
  EXPECT_EQ(json::parse(result.out).size(), 3u) << "the record under way is finished";
}

}  // namespace
}  // namespace qef
