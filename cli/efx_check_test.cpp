#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "cli/efx_test_fixture.h"
#include "exportfile/export_file.h"
#include "exportfile/name_rules.h"
#include "exportfile/record_copier.h"
#include "exportfile/record_frame.h"
#include "exportfile/repair.h"
#include "exportfile/testing/export_file_generator.h"
#include "exportfile/testing/records.h"
#include "exportfile/testing/reference_repair.h"

namespace qef {
namespace {

using nlohmann::json;
using testing::HeaderRecord;
using testing::ModuleBody;
using testing::Record;
using testing::RecordWithLength;

class EfxCheckTest : public EfxCommandTest {
 protected:
  // A fresh file system holding the generated file as App.AEF, under its settings.
  void UseGenerated(const testing::GeneratedCase& generated) {
    settings_ = HeadlessSettings();
    if (generated.settings.bad) settings_.Set(kSettingsKey, "Bad", *generated.settings.bad);
    if (generated.settings.good) settings_.Set(kSettingsKey, "Good", *generated.settings.good);
    fs_ = HeadlessFileSystem();
    fs_.AddFile("App.AEF", generated.file);
  }
};

// What the repaired copy differs in from its input, found by comparing the two files alone:
// the offsets of the name records whose bodies differ (a body cut short counts as filled with
// spaces), of the bodies the copy had to complete, and of the module names in the copy that
// equal an earlier one without regard to ASCII letter case; the other modules whose names other
// readers take for an earlier one's, with that one's offset; whether an end record is there.
struct CopyDifferences {
  std::set<uint64_t> changed;
  std::set<uint64_t> padded;
  std::set<uint64_t> duplicates;
  std::map<uint64_t, uint64_t> duplicate_names;
  bool end_record = false;
};

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

CopyDifferences Compare(const std::string& input, const std::string& copy) {
  CopyDifferences found;
  std::set<std::string> modules;
  std::map<std::string, uint64_t> names;  // as other readers compare them
  for (size_t at = 0; at + kRecordHeaderSize <= input.size();) {
    const auto [type, length] = DecodeRecordFrame(input.data() + at);
    found.end_record = found.end_record || type == AEF_REC_END;
    if (length > input.size()) break;  // the rest is copied as it stands
    const std::string present = input.substr(at + kRecordHeaderSize, length);
    const std::string written = copy.substr(at + kRecordHeaderSize, length);
    if (present.size() < length) found.padded.insert(at);
    if (IsNameRecord(type) && present + std::string(length - present.size(), ' ') != written) {
      found.changed.insert(at);
    }
    if (type == AEF_REC_MODNAME) {
      const bool duplicate = !modules.insert(UpperAscii(written)).second;
      if (duplicate) found.duplicates.insert(at);
      const std::string name = ReaderNameKey(written);
      const auto [earlier, added] = names.try_emplace(name, at);
      if (!duplicate && !added && !name.empty()) found.duplicate_names[at] = earlier->second;
    }
    at += kRecordHeaderSize + static_cast<size_t>(length);
  }
  return found;
}

std::map<uint64_t, uint64_t> DuplicateNames(const json& file) {
  std::map<uint64_t, uint64_t> found;
  for (const json& finding : file["findings"]) {
    if (finding["kind"] == "duplicate_name") {
      found[finding["offset"].get<uint64_t>()] = finding["earlier"].get<uint64_t>();
    }
  }
  return found;
}

std::set<uint64_t> FindingOffsets(const json& file, const char* kind) {
  std::set<uint64_t> offsets;
  for (const json& finding : file["findings"]) {
    if (finding["kind"] == kind) offsets.insert(finding["offset"].get<uint64_t>());
  }
  return offsets;
}

// The check must say exactly what efx fix then writes: the same name records changed, the same
// bodies padded, the same module names left duplicated (whole bodies, and names as other readers
// see them), a missing end record, and "needs repair" exactly when the copy differs from its
// input. Small copy blocks split bodies into several pieces.
TEST_F(EfxCheckTest, VerdictsAgreeWithWhatFixWrites) {
  struct BlockSize {
    explicit BlockSize(size_t bytes) { SetCopyBlockSize(bytes); }
    ~BlockSize() { SetCopyBlockSize(kDefaultCopyBlockSize); }
  };
  struct Sweep {
    size_t block;
    uint32_t seeds;
  } sweeps[] = {{kDefaultCopyBlockSize, 2500}, {7, 300}};
  int needing_repair = 0;
  int with_duplicates = 0;
  int with_duplicate_names = 0;
  int with_padding = 0;
  for (const Sweep& sweep : sweeps) {
    BlockSize block_size(sweep.block);
    for (uint32_t seed = 1; seed <= sweep.seeds; ++seed) {
      SCOPED_TRACE("block " + std::to_string(sweep.block) + " seed " + std::to_string(seed));
      const testing::GeneratedCase generated = testing::GenerateCase(seed);
      UseGenerated(generated);

      EfxResult check = Run({"check", "--json", "App.AEF"});
      ASSERT_TRUE(fs_.created.empty());
      ASSERT_EQ(fs_.Names(), std::vector<std::string>{"App.AEF"});
      EfxResult fix = Run({"fix", "App.AEF"});
      ASSERT_EQ(fix.status, kExitOk) << fix.err;
      const std::string copy = fs_.Content("App.fix");

      const json report = json::parse(check.out);
      ASSERT_EQ(report["files"].size(), 1u);
      const json& file = report["files"][0];
      const CopyDifferences expected = Compare(generated.file, copy);
      EXPECT_EQ(FindingOffsets(file, "change"), expected.changed);
      EXPECT_EQ(FindingOffsets(file, "cut_short"), expected.padded);
      EXPECT_EQ(FindingOffsets(file, "duplicate"), expected.duplicates);
      EXPECT_EQ(DuplicateNames(file), expected.duplicate_names);
      EXPECT_EQ(file["duplicate_names"], expected.duplicate_names.size());
      EXPECT_EQ(FindingOffsets(file, "no_end_record").size(), expected.end_record ? 0u : 1u);
      EXPECT_EQ(file["no_end_record"], expected.end_record ? 0 : 1);
      const bool differs = copy != generated.file;
      EXPECT_EQ(file["status"], differs ? "needs_repair" : "clean");
      EXPECT_EQ(check.status, differs ? kExitNeedsRepair : kExitOk);
      needing_repair += differs;
      with_duplicates += !expected.duplicates.empty();
      with_duplicate_names += !expected.duplicate_names.empty();
      with_padding += !expected.padded.empty();
      if (HasFailure()) return;
    }
  }
  // The generated cases reach every kind of finding, and clean files too.
  EXPECT_GT(needing_repair, 2000);
  EXPECT_LT(needing_repair, 2750);
  EXPECT_GT(with_duplicates, 300);
  EXPECT_GT(with_duplicate_names, 300);
  EXPECT_GT(with_padding, 200);
}

// With --strict-names on both: the changes are what the copy differs in, the invalid names are
// exactly the application and module names of the copy that Windows rejects, the duplicates are
// the copy's, and a file needs repair when its copy differs or such a name stays.
TEST_F(EfxCheckTest, StrictVerdictsAgreeWithWhatStrictFixWrites) {
  int with_invalid_names = 0;
  int mended = 0;
  int told_apart = 0;
  for (uint32_t seed = 1; seed <= 800; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const testing::GeneratedCase generated = testing::GenerateCase(seed);
    UseGenerated(generated);

    const json plain = json::parse(Run({"check", "--json", "App.AEF"}).out)["files"][0];
    EfxResult check = Run({"check", "--strict-names", "--json", "App.AEF"});
    ASSERT_EQ(Run({"fix", "--strict-names", "App.AEF"}).status, kExitOk);
    const std::string copy = fs_.Content("App.fix");
    const json file = json::parse(check.out)["files"][0];
    const CopyDifferences differences = Compare(generated.file, copy);
    EXPECT_EQ(FindingOffsets(file, "change"), differences.changed);
    EXPECT_EQ(FindingOffsets(file, "duplicate"), differences.duplicates);
    EXPECT_EQ(DuplicateNames(file), differences.duplicate_names);

    std::set<uint64_t> invalid;
    for (size_t at = 0; at + kRecordHeaderSize <= copy.size();) {
      const auto [type, length] = DecodeRecordFrame(copy.data() + at);
      if (length > copy.size()) break;
      const std::string body = copy.substr(at + kRecordHeaderSize, length);
      if ((type == AEF_REC_APPNAME || type == AEF_REC_MODNAME) &&
          !InvalidNameReason(body.substr(0, NameLength(body))).empty()) {
        invalid.insert(at);
      }
      at += kRecordHeaderSize + static_cast<size_t>(length);
    }
    EXPECT_EQ(FindingOffsets(file, "invalid_name"), invalid);
    EXPECT_EQ(file["invalid_names"], invalid.size());
    const bool needs_repair = copy != generated.file || !invalid.empty() ||
                              !differences.duplicates.empty() ||
                              !differences.duplicate_names.empty();
    EXPECT_EQ(file["status"], needs_repair ? "needs_repair" : "clean");
    EXPECT_EQ(check.status, needs_repair ? kExitNeedsRepair : kExitOk);
    with_invalid_names += plain["invalid_names"] != 0;
    mended += plain["invalid_names"].get<uint64_t>() > invalid.size();
    told_apart += plain["duplicate_names"].get<uint64_t>() > differences.duplicate_names.size();
    if (HasFailure()) return;
  }
  // The generated names break the rules often, and the strict repair mends most of them; it
  // tells apart modules that only other readers took for one.
  EXPECT_GT(with_invalid_names, 400);
  EXPECT_GT(mended, 200);
  EXPECT_GT(told_apart, 100);
}

// A file holding every kind of name, the application name "My App." among them.
std::string NamesFile() {
  std::string records = Record(AEF_REC_APPNAME, "My App.") + Record(AEF_REC_SPATH, "C:\\CON.");
  for (const char* name : {"CO-", "CON", "con.prg", "Print.", "Print-", "Tab\tName", "COM\xB9",
                           "Fine:Name", "A . ", "lpt0", "NULL"}) {
    records += Record(AEF_REC_MODNAME, ModuleBody(name));
  }
  return HeaderRecord() + records;
}

TEST_F(EfxCheckTest, InvalidNamesAreWarningsWithTheirReasons) {
  const std::string input = NamesFile();
  fs_.AddFile("n.AEF", input);
  EfxResult result = Run({"check", "--json", "n.AEF"});
  const json file = json::parse(result.out)["files"][0];
  std::vector<std::pair<std::string, std::string>> found;  // name, reason
  for (const json& finding : file["findings"]) {
    if (finding["kind"] != "invalid_name") continue;
    found.emplace_back(JsonBytes(finding["value"]), JsonBytes(finding["reason"]));
  }
  EXPECT_EQ(found, (std::vector<std::pair<std::string, std::string>>{
                       {"My App.", "ends in \".\""},
                       {"CON", "reserved device name CON"},
                       {"con.prg", "reserved device name CON"},
                       {"Print.", "ends in \".\""},
                       {"Tab\tName", "control character 0x09 at 3"},
                       {"COM\xB9", "reserved device name COM\xB9"},
                       {"A . ", "ends in \" \""},
                       {"lpt0", "reserved device name LPT0"},
                   }));
  EXPECT_EQ(file["invalid_names"], 8);
  EXPECT_EQ(json::parse(result.out)["summary"]["invalid_names"], 8);
  // Only the colons are repaired; the warnings leave the status alone.
  EXPECT_EQ(file["changes"], 2);
  EXPECT_EQ(result.status, kExitNeedsRepair);

  // And efx fix without the option writes the default copy, names as they were.
  ASSERT_EQ(Run({"fix", "n.AEF"}).status, kExitOk);
  EXPECT_EQ(fs_.Content("n.fix"),
            testing::ReferenceRepair(input, testing::kDefaultBad, testing::kDefaultGood));
}

TEST_F(EfxCheckTest, InvalidNamesInText) {
  fs_.AddFile("n.AEF", HeaderRecord() + Record(AEF_REC_APPNAME, "My App.") +
                           Record(AEF_REC_MODNAME, ModuleBody("COM\xB9.\x01")));
  EfxResult result = Run({"check", "n.AEF"});
  EXPECT_EQ(result.status, kExitOk) << "warnings only";
  EXPECT_EQ(result.out,
            "n.AEF\n"
            "          55  AEF_REC_APPNAME        invalid name: \"My App.\" (ends in \".\")\n"
            "          68  AEF_REC_MODNAME        invalid name: \"COM\\xB9.\\x01\" (control "
            "character 0x01 at 5; reserved device name COM\\xB9)\n"
            "          81  AEF_REC_END            no end record: readers that look for it refuse "
            "the file\n"
            "  nothing to repair; 2 names are not valid file names; no end record (3 records, 2 "
            "name records)\n"
            "1 file: 0 need repair, 1 nothing to repair, 0 cannot be processed; 2 names are not "
            "valid file names; 1 file has no end record\n");
}

TEST_F(EfxCheckTest, StrictNamesShowTheMendingAsChanges) {
  fs_.AddFile("n.AEF", HeaderRecord() + Record(AEF_REC_APPNAME, "My App.") +
                           Record(AEF_REC_MODNAME, ModuleBody("")));
  EfxResult result = Run({"check", "--strict-names", "n.AEF"});
  EXPECT_EQ(result.status, kExitNeedsRepair);
  EXPECT_EQ(result.out,
            "n.AEF\n"
            "          55  AEF_REC_APPNAME        \"My App.\" -> \"My App-\"\n"
            "          68  AEF_REC_MODNAME        invalid name: \"\" (empty)\n"
            "          75  AEF_REC_END            no end record: readers that look for it refuse "
            "the file\n"
            "  needs repair: 1 name record changes; 1 name is not a valid file name; no end record "
            "(3 records, 2 name records)\n"
            "1 file: 1 needs repair, 0 nothing to repair, 0 cannot be processed; 1 name is not a "
            "valid file name; 1 file has no end record\n");
  // An empty name no repair can mend still makes the file need repair, by hand.
  fs_.AddFile("e.AEF", HeaderRecord() + Record(AEF_REC_MODNAME, ModuleBody("")));
  EXPECT_EQ(Run({"check", "e.AEF"}).status, kExitOk);
  result = Run({"check", "--strict-names", "--json", "e.AEF"});
  EXPECT_EQ(result.status, kExitNeedsRepair);
  EXPECT_EQ(json::parse(result.out)["files"][0]["status"], "needs_repair");
}

TEST_F(EfxCheckTest, StrictNamesFromTheOptionOrTheStoredSetting) {
  fs_.AddFile("n.AEF", NamesFile());
  std::string strict_modules;
  for (const char* name : {"CO-", "CO1", "co-.prg", "Print-", "Print1", "Tab-Name", "COM-",
                           "Fine-Name", "A---", "lpt-", "NULL"}) {
    strict_modules += Record(AEF_REC_MODNAME, ModuleBody(name));
  }
  const std::string strict = HeaderRecord() + Record(AEF_REC_APPNAME, "My App-") +
                             Record(AEF_REC_SPATH, "C--CON.") + strict_modules;
  const std::string plain =
      testing::ReferenceRepair(NamesFile(), testing::kDefaultBad, testing::kDefaultGood);
  struct Case {
    const char* stored;  // StrictNames; nullptr: absent
    std::vector<std::string> options;
    bool strict;
  } cases[] = {
      {nullptr, {}, false},
      {nullptr, {"--strict-names"}, true},
      {"1", {}, true},
      {"0", {"--strict-names"}, true},
      {"1", {"--no-strict-names"}, false},
      {nullptr, {"--no-strict-names", "--strict-names"}, true},
      {nullptr, {"--strict-names", "--no-strict-names"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.stored ? c.stored : "absent") + " " +
                 (c.options.empty() ? "" : c.options[0]));
    settings_ = HeadlessSettings();
    if (c.stored) settings_.Set(kSettingsKey, "StrictNames", c.stored);
    std::vector<std::string> fix = {"fix"};
    fix.insert(fix.end(), c.options.begin(), c.options.end());
    fix.push_back("n.AEF");
    ASSERT_EQ(Run(fix).status, kExitOk);
    EXPECT_EQ(fs_.Content("n.fix"), c.strict ? strict : plain);
    std::vector<std::string> check = {"check", "--json"};
    check.insert(check.end(), c.options.begin(), c.options.end());
    check.push_back("n.AEF");
    EXPECT_EQ(json::parse(Run(check).out)["files"][0]["invalid_names"], c.strict ? 0 : 8);
  }
}

TEST_F(EfxCheckTest, ReportsTheSamplesInText) {
  AddSample("Helpers.MEF");
  AddSample("Clean.AEF");
  EfxResult result = Run({"check", "Helpers.MEF", "Clean.AEF"});
  EXPECT_EQ(result.status, kExitNeedsRepair);
  EXPECT_EQ(result.out,
            "Helpers.MEF\n"
            "          42  AEF_REC_MODNAME        \"Helpers: Date/Time\\x00\" -> "
            "\"Helpers- Date-Time\\x00\"\n"
            "         226  AEF_REC_MODNAME        \"File I/O\\x00\" -> \"File I-O\\x00\"\n"
            "         371  AEF_REC_MODNAME        \"file i|o\\x00\" -> \"file i-1\\x00\"\n"
            "  needs repair: 3 name records change (25 records, 3 name records)\n"
            "Clean.AEF\n"
            "  nothing to repair (27 records, 5 name records)\n"
            "2 files: 1 needs repair, 1 nothing to repair, 0 cannot be processed\n");
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(fs_.created.empty());
}

TEST_F(EfxCheckTest, ExitStatusTellsTheWorstFile) {
  fs_.AddFile("clean.AEF", HeaderRecord() + Record(AEF_REC_APPNAME, "ok"));
  fs_.AddFile("dirty.AEF", HeaderRecord() + Record(AEF_REC_APPNAME, "a:b"));
  fs_.AddFile("cut.AEF", HeaderRecord() + RecordWithLength(0x41, 9, "xy"));
  fs_.AddFile("text.AEF", std::string(60, 'x'));
  struct Case {
    std::vector<std::string> files;
    int status;
  } cases[] = {
      {{"clean.AEF"}, kExitOk},
      {{"dirty.AEF"}, kExitNeedsRepair},
      {{"cut.AEF"}, kExitNeedsRepair},
      {{"clean.AEF", "dirty.AEF"}, kExitNeedsRepair},
      {{"text.AEF"}, kExitCannotProcess},
      {{"gone.AEF", "dirty.AEF"}, kExitCannotProcess},
      {{"dirty.AEF", "text.AEF", "clean.AEF"}, kExitCannotProcess},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"check", "--json"};
    args.insert(args.end(), c.files.begin(), c.files.end());
    EfxResult result = Run(args);
    EXPECT_EQ(result.status, c.status) << c.files[0];
    json report = json::parse(result.out);
    // A file that cannot be processed does not stop the check: every file is reported.
    ASSERT_EQ(report["files"].size(), c.files.size());
    EXPECT_EQ(report["summary"]["files"], c.files.size());
  }
  EXPECT_TRUE(fs_.created.empty());
}

TEST_F(EfxCheckTest, FilesThatCannotBeProcessedGetTheRepairsMessage) {
  fs_.AddFile("App.AEF", HeaderRecord() + Record(AEF_REC_APPNAME, "a"));
  fs_.AddFile("App.MEF", HeaderRecord() + Record(AEF_REC_APPNAME, "b"));
  fs_.AddFile("old.fix", HeaderRecord() + Record(AEF_REC_APPNAME, "c"));
  fs_.AddFile("short.AEF", "Export File");
  const std::vector<std::string> files = {"App.AEF", "App.MEF", "old.fix", "short.AEF", "gone.AEF"};
  std::vector<std::string> args = {"check", "--json"};
  args.insert(args.end(), files.begin(), files.end());
  json report = json::parse(Run(args).out);
  std::vector<std::string> errors;
  for (const json& file : report["files"]) {
    errors.push_back(file.contains("error") ? file["error"].get<std::string>() : "");
  }
  EXPECT_EQ(errors,
            (std::vector<std::string>{
                "",
                "App.MEF would be repaired to App.fix, the copy of an earlier file of this run, "
                "so it would not be processed",
                "old.fix already has the extension .fix: its repaired copy would replace it, so "
                "it is not processed",
                "short.AEF is not a valid Export File", "Error reading gone.AEF"}));
  EXPECT_EQ(report["summary"]["cannot_process"], 4);

  // efx fix refuses the same file, in the words of a run that writes.
  EfxResult text = Run({"check", "short.AEF"});
  EXPECT_EQ(text.out,
            "short.AEF\n  cannot be processed: short.AEF is not a valid Export File\n"
            "1 file: 0 need repair, 0 nothing to repair, 1 cannot be processed\n");
  EXPECT_EQ(Run({"fix", "App.AEF", "App.MEF"}).status, kExitFailed);
  ASSERT_FALSE(ui_.boxes.empty());
  EXPECT_EQ(ui_.boxes.back().text,
            "App.MEF would be repaired to App.fix, which this run has already written, so it is "
            "not processed");
}

TEST_F(EfxCheckTest, ModuleNamesLeftDuplicatedAreListed) {
  std::string records;
  for (int i = 0; i < 101; ++i) records += Record(AEF_REC_MODNAME, ModuleBody("A:"));
  fs_.AddFile("m.AEF", HeaderRecord() + records);
  EfxResult result = Run({"check", "m.AEF"});
  EXPECT_EQ(result.status, kExitNeedsRepair);
  const std::string last_offset = std::to_string(HeaderRecord().size() + 100 * 9);
  EXPECT_NE(result.out.find("  AEF_REC_MODNAME        \"A:\\x00\" -> \"99\\x00\"\n"),
            std::string::npos);
  EXPECT_NE(result.out.find(last_offset +
                            "  AEF_REC_MODNAME        still equal to an earlier module name: "
                            "\"99\\x00\"\n"),
            std::string::npos)
      << result.out.substr(result.out.size() - 400);
  EXPECT_NE(result.out.find("  needs repair: 101 name records change; 1 module name stays "
                            "duplicated; no end record (102 records, 101 name records)\n"),
            std::string::npos);
}

// Modules that other readers take for one, each case in a file of its own, with and without the
// strict repair: which module's name repeats which earlier one's (by position), the bodies
// efx fix writes, and the check's status. Warnings alone leave the status at 0.
TEST_F(EfxCheckTest, ModuleNamesOtherReadersTakeForAnEarlierOne) {
  std::vector<std::string> run_out;  // "A99" and every other candidate of its counter
  run_out.push_back(ModuleBody("A99"));
  for (int counter = 1; counter <= 98; ++counter) {
    std::string candidate = "A99";
    if (counter < 10) {
      candidate[2] = static_cast<char>('0' + counter);
    } else {
      candidate.replace(1, 2, std::to_string(counter));
    }
    // 91 to 98 give the candidates of 1 to 8 again.
    if (std::find(run_out.begin(), run_out.end(), ModuleBody(candidate)) == run_out.end()) {
      run_out.push_back(ModuleBody(candidate));
    }
  }
  std::vector<std::string> run_out_in = run_out;
  run_out_in.push_back(std::string("a99\0x", 5));
  const std::string report_a("Report/Print\0\x01\0\0\0", 17);
  const std::string report_b("Report:Print\0\0\0\0\0", 17);
  struct Case {
    const char* what;
    bool strict;
    std::vector<std::string> modules;
    std::vector<std::pair<size_t, size_t>> duplicate_names;  // module, earlier module
    std::vector<std::string> written;
    int status;
  } cases[] = {
      {"bytes after the zero byte differ",
       false,
       {report_a, report_b},
       {{1, 0}},
       {std::string("Report-Print\0\x01\0\0\0", 17), std::string("Report-Print\0\0\0\0\0", 17)},
       kExitNeedsRepair},
      {"bytes after the zero byte differ, strict",
       true,
       {report_a, report_b},
       {},
       {std::string("Report-Print\0\x01\0\0\0", 17), std::string("Report-Prin1\0\0\0\0\0", 17)},
       kExitNeedsRepair},
      {"accented letters",
       false,
       {ModuleBody("R\xE9sum\xE9"), ModuleBody("R\xC9SUM\xC9")},
       {{1, 0}},
       {ModuleBody("R\xE9sum\xE9"), ModuleBody("R\xC9SUM\xC9")},
       kExitOk},
      {"accented letters, strict",
       true,
       {ModuleBody("R\xE9sum\xE9"), ModuleBody("R\xC9SUM\xC9")},
       {},
       {ModuleBody("R\xE9sum\xE9"), ModuleBody("R\xC9SUM1")},
       kExitNeedsRepair},
      {"no zero byte",
       false,
       {"Report:Print", ModuleBody("Report/Print")},
       {{1, 0}},
       {"Report-Print", ModuleBody("Report-Print")},
       kExitNeedsRepair},
      {"a whole body that is a duplicate keeps that finding alone",
       false,
       {"AB", "ab", ModuleBody("Ab")},
       {{2, 0}},
       {"AB", "ab", ModuleBody("Ab")},
       kExitOk},
      {"empty names are left to the empty finding",
       false,
       {std::string("\0a", 2), std::string("\0b", 2)},
       {},
       {std::string("\0a", 2), std::string("\0b", 2)},
       kExitOk},
      {"the counter runs out", false, run_out_in, {{run_out.size(), 0}}, run_out_in, kExitOk},
      {"the counter runs out, strict: the file needs repair by hand",
       true,
       run_out_in,
       {{run_out.size(), 0}},
       run_out_in,
       kExitNeedsRepair},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string input = HeaderRecord();
    std::string expected = HeaderRecord();
    std::vector<uint64_t> offsets;
    for (size_t i = 0; i < c.modules.size(); ++i) {
      offsets.push_back(input.size());
      input += Record(AEF_REC_MODNAME, c.modules[i]);
      expected += Record(AEF_REC_MODNAME, c.written[i]);
    }
    fs_.AddFile("d.AEF", input);
    std::vector<std::string> options;
    if (c.strict) options.push_back("--strict-names");
    std::vector<std::string> check = {"check", "--json"};
    check.insert(check.end(), options.begin(), options.end());
    check.push_back("d.AEF");
    EfxResult result = Run(check);
    EXPECT_EQ(result.status, c.status);
    const json file = json::parse(result.out)["files"][0];
    std::map<uint64_t, uint64_t> expected_names;
    for (auto [module, earlier] : c.duplicate_names) {
      expected_names[offsets[module]] = offsets[earlier];
    }
    EXPECT_EQ(DuplicateNames(file), expected_names);
    for (const json& finding : file["findings"]) {
      if (finding["kind"] != "duplicate_name") continue;
      const std::string& written = c.written[c.duplicate_names[0].first];
      EXPECT_EQ(JsonBytes(finding["value"]), written.substr(0, NameLength(written)));
    }
    std::vector<std::string> fix = {"fix"};
    fix.insert(fix.end(), options.begin(), options.end());
    fix.push_back("d.AEF");
    ASSERT_EQ(Run(fix).status, kExitOk);
    EXPECT_EQ(fs_.Content("d.fix"), expected);
  }
}

TEST_F(EfxCheckTest, DuplicateNamesAndAMissingEndRecordInText) {
  fs_.AddFile("r.AEF", HeaderRecord() + Record(AEF_REC_MODNAME, ModuleBody("R\xE9sum\xE9")) +
                           Record(AEF_REC_MODNAME, ModuleBody("R\xC9SUM\xC9")));
  fs_.AddFile("e.AEF", HeaderRecord() + Record(AEF_REC_END, ""));
  EfxResult result = Run({"check", "r.AEF", "e.AEF"});
  EXPECT_EQ(result.status, kExitOk) << "warnings only";
  EXPECT_EQ(result.out,
            "r.AEF\n"
            "          68  AEF_REC_MODNAME        same name as the module at 55 for other "
            "readers: \"R\\xC9SUM\\xC9\"\n"
            "          81  AEF_REC_END            no end record: readers that look for it refuse "
            "the file\n"
            "  nothing to repair; 1 module name repeats an earlier one for other readers; no end "
            "record (3 records, 2 name records)\n"
            "e.AEF\n"
            "  nothing to repair (2 records, 0 name records)\n"
            "2 files: 0 need repair, 2 nothing to repair, 0 cannot be processed; 1 module name "
            "repeats an earlier one for other readers; 1 file has no end record\n");
  const json report = json::parse(Run({"check", "--json", "r.AEF", "e.AEF"}).out);
  EXPECT_EQ(report["files"][0]["no_end_record"], 1);
  EXPECT_EQ(report["files"][1]["no_end_record"], 0);
  EXPECT_EQ(report["summary"]["no_end_record"], 1);
  EXPECT_EQ(report["summary"]["duplicate_names"], 1);
}

TEST_F(EfxCheckTest, BadAndGoodOnTheCommandLineApplyAsInFix) {
  settings_.Set(kSettingsKey, "Bad", "x");
  fs_.AddFile("s.AEF", HeaderRecord() + Record(AEF_REC_APPNAME, "a:bx"));
  struct Case {
    std::vector<std::string> options;
    const char* after;
  } cases[] = {
      {{}, "a:b-"},
      {{"--bad", "ab"}, "-:-x"},
      {{"--bad=ab", "--good=bc"}, "c:cx"},
      {{"--bad=", "--good", "z"}, "azbx"},  // an empty Bad means the default set
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"check", "--json"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back("s.AEF");
    json report = json::parse(Run(args).out);
    EXPECT_EQ(report["files"][0]["findings"][0]["after"], c.after) << c.after;
  }
}

TEST_F(EfxCheckTest, CancelStopsTheCheckWithValidJson) {
  fs_.AddFile("a.AEF", HeaderRecord() + Record(AEF_REC_APPNAME, "a:b") + Record(0x41, "x"));
  fs_.AddFile("b.AEF", HeaderRecord());
  ui_.ScheduleEvent(2, CommandEvent(IDCANCEL));
  EfxResult result = Run({"check", "--json", "a.AEF", "b.AEF"});
  EXPECT_EQ(result.status, kExitCancelled);
  EXPECT_EQ(result.err, "Cancelled.\n");
  json report = json::parse(result.out);
  ASSERT_EQ(report["files"].size(), 1u);
  EXPECT_EQ(report["files"][0]["status"], "cancelled");
  EXPECT_EQ(report["summary"]["cancelled"], true);
  EXPECT_EQ(std::count(fs_.opened.begin(), fs_.opened.end(), "b.AEF"), 0);
}

TEST_F(EfxCheckTest, UsageErrors) {
  for (auto args : std::vector<std::vector<std::string>>{
           {"check"}, {"check", "--bad"}, {"check", "--type", "x", "a.AEF"}}) {
    EfxResult result = Run(args);
    EXPECT_EQ(result.status, kExitUsage) << args.back();
    EXPECT_NE(result.err.find("Usage: efx fix"), std::string::npos);
  }
  EXPECT_EQ(Run({"check", "--help"}).status, kExitOk);
  EXPECT_TRUE(fs_.opened.empty());
}

}  // namespace
}  // namespace qef
