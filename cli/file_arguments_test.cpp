#include "cli/file_arguments.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "cli/efx.h"
#include "exportfile/export_file.h"
#include "exportfile/testing/records.h"
#include "platform/headless/headless_directory_search.h"
#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "runtime/runtime.h"
#include "runtime/runtime_state.h"

namespace qef {
namespace {

using E = HeadlessDirectorySearch;

std::string ReadAll(std::FILE* file) {
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  return text;
}

std::string App(const std::string& name) {
  return testing::HeaderRecord() + testing::Record(AEF_REC_APPNAME, name);
}

// The folder of the issue: One.AEF, Two.AEF and Three.MEF, as a Windows search answers for
// each pattern, in the file system's own order.
class FileArgumentsTest : public ::testing::Test {
 protected:
  FileArgumentsTest() : runtime_(fs_, settings_, ui_) {
    runtime_.runtime().state().directory_search = &search_;
    ui_.logging = false;
    search_.Script("*.AEF", {E::Entry("Two.AEF", 0x20), E::Entry("sub.AEF", 0x10),
                             E::Entry("One.AEF", 0x20), E::Entry("Hidden.AEF", 0x22)});
    search_.Script("T?ree.MEF", {E::Entry("Three.MEF", 0x20)});
    fs_.AddFile("One.AEF", App("one:"));
    fs_.AddFile("Two.AEF", App("two"));
    fs_.AddFile("Three.MEF", App("three<"));
  }

  std::vector<std::string> Paths(const std::vector<std::string>& args, bool expand = true) {
    std::vector<std::string> paths;
    for (const FileArgument& file : ExpandFileArguments(args, expand)) {
      paths.push_back(file.matched ? file.path : "unmatched " + file.path);
    }
    return paths;
  }

  int Run(const std::vector<std::string>& args, bool expand = true) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EfxEnvironment env{fs_, settings_, ui_, out, err};
    env.expand_wildcards = expand;
    int status = RunEfx(args, env);
    out_ = ReadAll(out);
    err_ = ReadAll(err);
    std::fclose(out);
    std::fclose(err);
    return status;
  }

  HeadlessFileSystem fs_;
  HeadlessSettings settings_;
  HeadlessUi ui_;
  HeadlessDirectorySearch search_;
  ScopedRuntime runtime_;
  std::string out_;
  std::string err_;
};

TEST_F(FileArgumentsTest, APatternBecomesItsOrdinaryFilesInNameOrder) {
  EXPECT_EQ(Paths({"*.AEF", "T?ree.MEF", "plain.AEF"}),
            (std::vector<std::string>{"One.AEF", "Two.AEF", "Three.MEF", "plain.AEF"}));
  EXPECT_EQ(search_.closes, 2);
  EXPECT_EQ(search_.open_searches(), 0u);
}

TEST_F(FileArgumentsTest, NamesAreOrderedWithoutRegardToCase) {
  search_.Script("x*", {E::Entry("xb", 0), E::Entry("XC", 0), E::Entry("Xa", 0), E::Entry("xA", 0),
                        E::Entry("x_", 0)});
  // "_" lies between the upper- and the lower-case letters: a plain byte order, or one in lower
  // case, would put it elsewhere.
  EXPECT_EQ(Paths({"x*"}), (std::vector<std::string>{"Xa", "xA", "xb", "XC", "x_"}));
}

TEST_F(FileArgumentsTest, TheFolderOfThePatternIsKeptInFrontOfEachMatch) {
  struct Case {
    std::string pattern;
    std::string match;
  } cases[] = {
      {"dir\\*.AEF", "dir\\a.AEF"},
      {"C:\\Work dir/sub/a?.AEF", "C:\\Work dir/sub/ab.AEF"},
      {"C:*.AEF", "C:a.AEF"},
  };
  for (const Case& c : cases) {
    search_.Script(c.pattern, {E::Entry(c.match.substr(c.match.find_last_of("\\/:") + 1), 0)});
    EXPECT_EQ(Paths({c.pattern}), std::vector<std::string>{c.match}) << c.pattern;
  }
}

TEST_F(FileArgumentsTest, OnlyTheLastPartOfAPathIsAPattern) {
  EXPECT_EQ(Paths({"dir*/a.AEF", "d?r\\a.AEF"}),
            (std::vector<std::string>{"dir*/a.AEF", "d?r\\a.AEF"}));
  EXPECT_TRUE(search_.searched.empty());
}

TEST_F(FileArgumentsTest, APatternThatMatchesNothingIsKeptAndMarked) {
  search_.Script("*.MEF", {E::Entry("folder.MEF", 0x10)});
  EXPECT_EQ(Paths({"*.MEF", "none*", "One.AEF"}),
            (std::vector<std::string>{"unmatched *.MEF", "unmatched none*", "One.AEF"}));
  EXPECT_EQ(NoMatchMessage("*.MEF"), "No file matches *.MEF");
}

TEST_F(FileArgumentsTest, WithoutExpansionNothingIsSearched) {
  EXPECT_EQ(Paths({"*.AEF", "T?ree.MEF"}, false), (std::vector<std::string>{"*.AEF", "T?ree.MEF"}));
  EXPECT_TRUE(search_.searched.empty());
}

TEST_F(FileArgumentsTest, CheckReportsEveryMatch) {
  EXPECT_EQ(Run({"check", "*.AEF", "T?ree.MEF"}), kExitNeedsRepair);
  EXPECT_NE(out_.find("One.AEF\n"), std::string::npos) << out_;
  EXPECT_LT(out_.find("One.AEF\n"), out_.find("Two.AEF\n"));
  EXPECT_LT(out_.find("Two.AEF\n"), out_.find("Three.MEF\n"));
  EXPECT_NE(out_.find("3 files: 2 need repair, 1 nothing to repair, 0 cannot be processed"),
            std::string::npos)
      << out_;
}

TEST_F(FileArgumentsTest, CheckReportsAPatternThatMatchesNothingAndGoesOn) {
  EXPECT_EQ(Run({"check", "none*.AEF", "T?ree.MEF"}), kExitCannotProcess);
  EXPECT_NE(out_.find("none*.AEF\n  cannot be processed: No file matches none*.AEF\n"),
            std::string::npos)
      << out_;
  EXPECT_NE(out_.find("Three.MEF\n"), std::string::npos) << out_;
}

TEST_F(FileArgumentsTest, FixStopsAtAPatternThatMatchesNothing) {
  EXPECT_EQ(Run({"fix", "T?ree.MEF", "none*", "*.AEF"}), kExitFailed);
  EXPECT_EQ(fs_.Content("Three.fix"), App("three-"));
  EXPECT_FALSE(fs_.Exists("One.fix"));
  EXPECT_EQ(err_, "No file matches none*\n");
  EXPECT_EQ(out_, "1 .FIX file was successfully written.\n");
}

TEST_F(FileArgumentsTest, FixRepairsEveryMatch) {
  EXPECT_EQ(Run({"fix", "*.AEF"}), kExitOk);
  EXPECT_EQ(fs_.Content("One.fix"), App("one-"));
  EXPECT_EQ(fs_.Content("Two.fix"), App("two"));
  EXPECT_FALSE(fs_.Exists("Three.fix"));
}

TEST_F(FileArgumentsTest, DumpTakesAPatternOfExactlyOneFile) {
  EXPECT_EQ(Run({"dump", "T?ree.MEF"}), kExitOk);
  EXPECT_NE(out_.find("three<"), std::string::npos) << out_;
  EXPECT_EQ(Run({"dump", "none*"}), kExitFailed);
  EXPECT_EQ(err_, "No file matches none*\n");
  EXPECT_EQ(Run({"dump", "*.AEF"}), kExitUsage);
}

TEST_F(FileArgumentsTest, WithoutExpansionAStarIsPartOfTheName) {
  fs_.AddFile("*.AEF", App("star"));
  EXPECT_EQ(Run({"check", "*.AEF"}, false), kExitOk);
  // The file has no end record: its warning comes between the name and the verdict.
  EXPECT_EQ(out_.find("*.AEF\n"), 0u) << out_;
  EXPECT_NE(out_.find("\n  nothing to repair"), std::string::npos) << out_;
  EXPECT_TRUE(search_.searched.empty());
}

}  // namespace
}  // namespace qef
