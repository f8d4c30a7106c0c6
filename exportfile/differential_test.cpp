// Compares the real repair run with the independent model in testing/, byte for byte, over
// thousands of generated export files, over every truncation of a few of them and over single
// byte flips of small ones.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "exportfile/ef_rec_type.h"
#include "exportfile/process_ef.h"
#include "exportfile/record_copier.h"
#include "exportfile/testing/export_file_generator.h"
#include "exportfile/testing/records.h"
#include "exportfile/testing/reference_repair.h"
#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "progress/win_progress.h"
#include "runtime/runtime.h"

namespace qef {
namespace {

using testing::EffectiveSetting;
using testing::GeneratedSettings;
using testing::IsAcceptedExportFile;
using testing::kDefaultBad;
using testing::kDefaultGood;
using testing::Record;
using testing::ReferenceRepair;

constexpr char kInputPath[] = "dir/App.AEF";
constexpr char kOutputPath[] = "dir/App.fix";
constexpr char kSettingsKey[] = "Quillon Pack 2\\Export Fix";

constexpr uint32_t kGeneratedCases = 5000;
// Stop reporting after this many mismatches; one seed is enough to start from.
constexpr int kMaxReportedMismatches = 5;

std::string Hex(const std::string& bytes, size_t from, size_t count) {
  std::string text;
  const size_t end = std::min(bytes.size(), from + count);
  for (size_t i = from; i < end; ++i) {
    char digits[4];
    std::snprintf(digits, sizeof(digits), "%02X ", static_cast<unsigned char>(bytes[i]));
    text += digits;
  }
  return text.empty() ? "(nothing)" : text;
}

std::string Hex(const std::string& bytes) { return Hex(bytes, 0, bytes.size()); }

std::string DescribeSetting(const std::optional<std::string>& value) {
  return value ? "[" + Hex(*value) + "]" : "absent";
}

std::string DescribeSettings(const GeneratedSettings& settings) {
  return "Bad " + DescribeSetting(settings.bad) + ", Good " + DescribeSetting(settings.good);
}

// What one run of ProcessEF over the single input left behind.
struct RunOutcome {
  uint32_t completed = 0;
  std::string input_after;
  bool output_exists = false;
  std::string output;
  std::vector<std::string> file_names;
  size_t warning_boxes = 0;
};

// How the repair takes in its input: in views, read in turn (as on Windows), or, for a large
// input, read at offsets beside the copies of its spans (as on POSIX).
enum class Access { kViewed, kRead, kReadBeside };
constexpr Access kAccesses[] = {Access::kViewed, Access::kRead, Access::kReadBeside};
std::string AccessName(Access access) {
  return access == Access::kViewed ? "viewed" : access == Access::kRead ? "read" : "read beside";
}

// `strict`: the stored StrictNames=1.
RunOutcome RunProcessEF(const std::string& input, const GeneratedSettings& settings, Access access,
                        bool strict) {
  HeadlessFileSystem files;
  files.views = access == Access::kViewed;
  files.positioned_reads = access == Access::kReadBeside;
  HeadlessSettings stored;
  HeadlessUi ui;
  ui.logging = false;
  files.AddFile(kInputPath, input);
  if (settings.bad) stored.Set(kSettingsKey, "Bad", *settings.bad);
  if (settings.good) stored.Set(kSettingsKey, "Good", *settings.good);
  if (strict) stored.Set(kSettingsKey, "StrictNames", "1");

  RunOutcome outcome;
  {
    ScopedRuntime runtime(files, stored, ui);
    WinProgress window;
    outcome.completed = ProcessEF({kInputPath}, window);
  }
  outcome.input_after = files.Content(kInputPath);
  outcome.output_exists = files.Exists(kOutputPath);
  outcome.output = files.Content(kOutputPath);
  outcome.file_names = files.Names();
  outcome.warning_boxes = ui.boxes.size();
  return outcome;
}

// Names the first difference and the bytes around it.
::testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  const auto difference =
      std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
  const size_t at = static_cast<size_t>(difference.first - expected.begin());
  const size_t from = at < 16 ? 0 : at - 16;
  return ::testing::AssertionFailure()
         << "output differs from the model at offset " << at << " (expected size "
         << expected.size() << ", actual size " << actual.size() << ")\n  expected from offset "
         << from << ": " << Hex(expected, from, 48) << "\n  actual   from offset " << from << ": "
         << Hex(actual, from, 48);
}

// Runs the repair over `input` and checks it against the model: the repaired copy of an
// accepted file equals the model's bytes; any other file gets a warning and no copy; in every
// case the input stays as it was and no temporary file is left.
::testing::AssertionResult MatchesModel(const std::string& input, const GeneratedSettings& settings,
                                        Access access = Access::kViewed, bool strict = false) {
  const RunOutcome outcome = RunProcessEF(input, settings, access, strict);
  auto failure = [&]() {
    return ::testing::AssertionFailure()
           << DescribeSettings(settings) << (strict ? ", strict names" : "") << ", input of "
           << input.size() << " bytes:\n  " << Hex(input, 0, 400)
           << (input.size() > 400 ? "...\n" : "\n");
  };
  if (outcome.input_after != input) return failure() << "the input was changed";
  for (const std::string& name : outcome.file_names) {
    if (name.size() >= 8 && name.compare(name.size() - 8, 8, ".partial") == 0) {
      return failure() << "a temporary file remains: " << name;
    }
  }

  if (!IsAcceptedExportFile(input)) {
    if (outcome.completed != 0 || outcome.output_exists) {
      return failure() << "a file that fails the file test was repaired";
    }
    if (outcome.warning_boxes != 1) return failure() << "expected one warning box";
    if (outcome.file_names != std::vector<std::string>{kInputPath}) {
      return failure() << "files other than the input exist";
    }
    return ::testing::AssertionSuccess();
  }

  if (outcome.completed != 1 || !outcome.output_exists) {
    return failure() << "no repaired copy was completed (count " << outcome.completed << ")";
  }
  if (outcome.warning_boxes != 0) return failure() << "a warning box was shown";
  if (outcome.file_names != std::vector<std::string>{kInputPath, kOutputPath}) {
    return failure() << "files other than the input and its copy exist";
  }
  const std::string expected =
      ReferenceRepair(input, EffectiveSetting(settings.bad, kDefaultBad),
                      EffectiveSetting(settings.good, kDefaultGood), strict);
  const ::testing::AssertionResult same = SameBytes(expected, outcome.output);
  if (!same) return failure() << same.message();
  return ::testing::AssertionSuccess();
}

// Collects mismatches of one sweep and stops the sweep after a few.
class MismatchReport {
 public:
  // False once enough mismatches have been reported.
  bool Check(const ::testing::AssertionResult& result, const std::string& where) {
    if (result) return true;
    ADD_FAILURE() << where << ": " << result.message();
    return ++reported_ < kMaxReportedMismatches;
  }

 private:
  int reported_ = 0;
};

// A first record that makes any file pass the file test: 0x80 at offset 6, the signature
// within the first 50 bytes, 50 bytes long on its own.
std::string HeaderRecord() {
  std::string body =
      "\x80"
      "Export File";
  body.resize(44, '.');
  return Record(AEF_REC_HEADER, body);
}

std::string Module(const std::string& name) { return Record(AEF_REC_MODNAME, name + '\0'); }

std::string ModulesNamed(const std::vector<std::string>& names) {
  std::string records;
  for (const std::string& name : names) records += Module(name);
  return records;
}

std::vector<std::string> Repeated(const std::string& name, size_t count) {
  return std::vector<std::string>(count, name);
}

std::vector<std::string> Concatenated(std::vector<std::string> a,
                                      const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<std::string> CounterNames(const std::string& prefix, int first, int last) {
  std::vector<std::string> names;
  for (int counter = first; counter <= last; ++counter) {
    names.push_back(prefix + std::to_string(counter));
  }
  return names;
}

// Hand-written examples: records after the header in, records expected out. Both the model and
// the real run must give exactly these bytes, which keeps the model itself honest.
struct Example {
  const char* what;
  GeneratedSettings settings;
  std::string records;
  std::string expected;
  bool strict = false;  // the strict repair of names
};

std::vector<Example> Examples() {
  const std::string eleven_abc = ModulesNamed(
      Concatenated({"ABC"}, Concatenated(CounterNames("AB", 1, 9), CounterNames("A", 10, 10))));
  return {
      {"colon in a module name", {}, Module("A:B"), Module("A-B")},
      {"less-than in an application name",
       {},
       Record(AEF_REC_APPNAME, "My<App"),
       Record(AEF_REC_APPNAME, "My-App")},
      {"colons and backslashes in a source path",
       {},
       Record(AEF_REC_SPATH, "C:\\Src\\App"),
       Record(AEF_REC_SPATH, "C--Src-App")},
      {"names that meet after replacement",
       {},
       ModulesNamed({"A/B", "A:B", "A*B"}),
       ModulesNamed({"A-B", "A-1", "A-2"})},
      {"names equal without letter case",
       {},
       ModulesNamed({"Ab", "aB"}),
       ModulesNamed({"Ab", "a1"})},
      {"eleven equal names", {}, ModulesNamed(Repeated("ABC", 11)), eleven_abc},
      {"the counter runs out at 99",
       {},
       ModulesNamed(Repeated("ABC", 102)),
       ModulesNamed(Concatenated(
           Concatenated({"ABC"}, Concatenated(CounterNames("AB", 1, 9), CounterNames("A", 10, 99))),
           {"A99", "A99"}))},
      {"a one-character name keeps its 9",
       {},
       ModulesNamed(Repeated("X", 12)),
       ModulesNamed(Concatenated(Concatenated({"X"}, CounterNames("", 1, 9)), {"9", "9"}))},
      {"no counter without a zero byte or with a zero first byte",
       {},
       Record(AEF_REC_MODNAME, "AB") + Record(AEF_REC_MODNAME, "ab") +
           Record(AEF_REC_MODNAME, std::string("\0AB", 3)) +
           Record(AEF_REC_MODNAME, std::string("\0ab", 3)),
       Record(AEF_REC_MODNAME, "AB") + Record(AEF_REC_MODNAME, "ab") +
           Record(AEF_REC_MODNAME, std::string("\0AB", 3)) +
           Record(AEF_REC_MODNAME, std::string("\0ab", 3))},
      {"bad characters after the zero byte",
       {},
       Record(AEF_REC_MODNAME, std::string("N\0a:b", 5)),
       Record(AEF_REC_MODNAME, std::string("N\0a-b", 5))},
      {"the whole body takes part in the comparison",
       {},
       Record(AEF_REC_MODNAME, std::string("AB\0x", 4)) +
           Record(AEF_REC_MODNAME, std::string("AB\0y", 4)) +
           Record(AEF_REC_MODNAME, std::string("ab\0X", 4)),
       Record(AEF_REC_MODNAME, std::string("AB\0x", 4)) +
           Record(AEF_REC_MODNAME, std::string("AB\0y", 4)) +
           Record(AEF_REC_MODNAME, std::string("a1\0X", 4))},
      {"only ASCII letters fold",
       {},
       ModulesNamed({"\xC9", "\xE9"}),
       ModulesNamed({"\xC9", "\xE9"})},
      {"a good character that is a later bad one", {"ab", "bc"}, Module("abba"), Module("cccc")},
      {"three bad characters with the default good",
       {"xyz", std::nullopt},
       Module("xAyBz"),
       Module("-A-B-")},
      {"a bad value of spaces counts as absent",
       {"   ", std::nullopt},
       Module("a:b c"),
       Module("a-b c")},
      {"a short good value gives hyphens", {"abc", "X"}, Module("cab"), Module("-X-")},
      {"other records stay as they are",
       {},
       Record(AEF_REC_COMPOPTS, "A:B") + Record(AEF_REC_END, "") + Record(0x1234, "<>") +
           Record(AEF_REC_APPNAME, "?"),
       Record(AEF_REC_COMPOPTS, "A:B") + Record(AEF_REC_END, "") + Record(0x1234, "<>") +
           Record(AEF_REC_APPNAME, "-")},
      {"a trailing fragment is copied",
       {},
       Module("A:B") + std::string("\x20\x00:", 3),
       Module("A-B") + std::string("\x20\x00:", 3)},
      {"a cut body is padded with spaces",
       {std::string(":"), std::string("_")},
       std::string("\x02\x00\x08\x00\x00\x00:a", 8),
       std::string("\x02\x00\x08\x00\x00\x00_a      ", 14)},
      {"a body longer than the file is copied with its framing",
       {},
       std::string("\x02\x00\xFF\xFF\x00\x00:a", 8) + Module("Z"),
       std::string("\x02\x00\xFF\xFF\x00\x00:a", 8) + Module("Z")},
      // The strict repair compares module names as another reader sees them.
      {"strict: accented letters fold",
       {},
       ModulesNamed({"R\xE9sum\xE9", "R\xC9SUM\xC9", "\x9A\x9C\x9E\xFF", "\x8A\x8C\x8E\x9F", "\xF7",
                     "\xD7"}),
       ModulesNamed({"R\xE9sum\xE9", "R\xC9SUM1", "\x9A\x9C\x9E\xFF",
                     "\x8A\x8C\x8E"
                     "1",
                     "\xF7", "\xD7"}),
       true},
      {"strict: a body without a zero byte is all name",
       {},
       Record(AEF_REC_MODNAME, "Report:Print") + Module("Report/Print") +
           Record(AEF_REC_MODNAME, "report|print"),
       Record(AEF_REC_MODNAME, "Report-Print") + Module("Report-Prin1") +
           Record(AEF_REC_MODNAME, "report-prin2"),
       true},
      {"strict: names mended before the counter, application name too",
       {},
       Record(AEF_REC_APPNAME, "My App.") + Record(AEF_REC_SPATH, "CON.") +
           ModulesNamed({"CON", "co-", "Tab\t"}),
       Record(AEF_REC_APPNAME, "My App-") + Record(AEF_REC_SPATH, "CON.") +
           ModulesNamed({"CO-", "co1", "Tab-"}),
       true},
      {"strict: a one-character name keeps its 9",
       {},
       ModulesNamed(Repeated("x", 12)),
       ModulesNamed(Concatenated(Concatenated({"x"}, CounterNames("", 1, 9)), {"9", "9"})),
       true},
  };
}

// Under ThreadSanitizer the sweeps with small blocks, which start the output worker for almost
// every file, take a tenth of their seeds: that still starts it thousands of times, which is what
// looks for races; the whole sweep checks the model in every other build.
#ifndef __has_feature
#define __has_feature(feature) 0  // GCC names ThreadSanitizer by __SANITIZE_THREAD__ instead
#endif
#if defined(__SANITIZE_THREAD__) || __has_feature(thread_sanitizer)
constexpr uint32_t kSeedDivisor = 10;
#else
constexpr uint32_t kSeedDivisor = 1;
#endif

TEST(DifferentialTest, HandWrittenExamplesHoldForModelAndRepair) {
  for (const Example& example : Examples()) {
    SCOPED_TRACE(example.what);
    const std::string input = HeaderRecord() + example.records;
    const std::string expected = HeaderRecord() + example.expected;
    EXPECT_TRUE(SameBytes(
        expected,
        ReferenceRepair(input, EffectiveSetting(example.settings.bad, kDefaultBad),
                        EffectiveSetting(example.settings.good, kDefaultGood), example.strict)))
        << "the model";
    EXPECT_TRUE(MatchesModel(input, example.settings, Access::kViewed, example.strict))
        << "the repair";
  }
}

TEST(DifferentialTest, GeneratedFilesRepairLikeTheModel) {
  MismatchReport report;
  for (uint32_t seed = 1; seed <= kGeneratedCases; ++seed) {
    const testing::GeneratedCase generated = testing::GenerateCase(seed);
    ASSERT_TRUE(IsAcceptedExportFile(generated.file)) << "seed " << seed;
    if (!report.Check(MatchesModel(generated.file, generated.settings),
                      "seed " + std::to_string(seed))) {
      return;
    }
  }
}

// The strict repair of names, through each way of taking the input and small blocks alike.
TEST(DifferentialTest, GeneratedFilesRepairLikeTheModelWithStrictNames) {
  struct BlockSize {
    explicit BlockSize(size_t bytes) { SetCopyBlockSize(bytes); }
    ~BlockSize() { SetCopyBlockSize(kDefaultCopyBlockSize); }
  };
  MismatchReport report;
  for (size_t bytes : {kDefaultCopyBlockSize, size_t{7}}) {
    BlockSize block_size(bytes);
    for (uint32_t seed = 1; seed <= 2000 / kSeedDivisor; ++seed) {
      const testing::GeneratedCase generated = testing::GenerateCase(seed);
      if (!report.Check(
              MatchesModel(generated.file, generated.settings, kAccesses[seed % 3], true),
              "strict, block " + std::to_string(bytes) + " seed " + std::to_string(seed))) {
        return;
      }
    }
  }
}

// Small blocks make records, module names and damaged ends straddle the copier's blocks.
TEST(DifferentialTest, SmallCopyBlocksRepairLikeTheModel) {
  struct BlockSize {
    explicit BlockSize(size_t bytes) { SetCopyBlockSize(bytes); }
    ~BlockSize() { SetCopyBlockSize(kDefaultCopyBlockSize); }
  };
  MismatchReport report;
  for (Access access : kAccesses) {
    for (size_t bytes : {6, 7, 11, 64, 1000}) {
      BlockSize block_size(bytes);
      for (uint32_t seed = 1; seed <= 400 / kSeedDivisor; ++seed) {
        const testing::GeneratedCase generated = testing::GenerateCase(seed);
        if (!report.Check(MatchesModel(generated.file, generated.settings, access),
                          AccessName(access) + ", block " + std::to_string(bytes) + " seed " +
                              std::to_string(seed))) {
          return;
        }
      }
    }
  }
}

// Finds generated files of a handy size for the sweeps below.
std::vector<uint32_t> SeedsOfSize(size_t smallest, size_t largest, size_t wanted) {
  std::vector<uint32_t> seeds;
  for (uint32_t seed = 100000; seeds.size() < wanted; ++seed) {
    const size_t size = testing::GenerateCase(seed).file.size();
    if (size >= smallest && size <= largest) seeds.push_back(seed);
  }
  return seeds;
}

TEST(DifferentialTest, EveryTruncationRepairsLikeTheModel) {
  MismatchReport report;
  for (uint32_t seed : SeedsOfSize(300, 900, 6)) {
    const testing::GeneratedCase generated = testing::GenerateCase(seed);
    for (size_t length = 50; length <= generated.file.size(); ++length) {
      const std::string cut = generated.file.substr(0, length);
      if (!report.Check(MatchesModel(cut, generated.settings),
                        "seed " + std::to_string(seed) + " cut to " + std::to_string(length))) {
        return;
      }
    }
  }
}

TEST(DifferentialTest, EveryByteFlipRepairsLikeTheModelOrIsRefused) {
  // Flipped bits, and values that mean something to the repair: a zero byte, a bad character,
  // the uncompressed flag, a high length byte.
  using Flip = char (*)(char);
  const Flip flips[] = {[](char c) { return static_cast<char>(c ^ 0x01); },
                        [](char c) { return static_cast<char>(c ^ 0x80); },
                        [](char c) { return static_cast<char>(c ^ 0xFF); },
                        [](char) { return '\0'; },
                        [](char) { return ':'; },
                        [](char) { return static_cast<char>(0x80); }};
  MismatchReport report;
  for (uint32_t seed : SeedsOfSize(80, 220, 4)) {
    const testing::GeneratedCase generated = testing::GenerateCase(seed);
    for (size_t offset = 0; offset < generated.file.size(); ++offset) {
      int flip_number = 0;
      for (const Flip flip : flips) {
        std::string changed = generated.file;
        changed[offset] = flip(changed[offset]);
        if (!report.Check(MatchesModel(changed, generated.settings),
                          "seed " + std::to_string(seed) + " flip " + std::to_string(flip_number) +
                              " at offset " + std::to_string(offset))) {
          return;
        }
        ++flip_number;
      }
    }
  }
}

}  // namespace
}  // namespace qef
