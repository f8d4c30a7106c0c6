// efx fix and check over folders: --recursive, --out-dir and --keep-going, on a tree kept in
// memory whose folders the directory search lists as Windows would.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "cli/efx.h"
#include "exportfile/export_file.h"
#include "exportfile/testing/records.h"
#include "platform/headless/headless_directory_search.h"
#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "runtime/runtime.h"
#include "runtime/runtime_state.h"
#include "ui/console_ui.h"

namespace qef {
namespace {

using E = HeadlessDirectorySearch;

constexpr uint32_t kFile = FILE_ATTRIBUTE_ARCHIVE;
constexpr uint32_t kFolder = FILE_ATTRIBUTE_DIRECTORY;

std::string App(const std::string& name) {
  return testing::HeaderRecord() + testing::Record(AEF_REC_APPNAME, name);
}
// A file named by its path, whose repair turns the ":" after the name into "-".
std::string Named(std::string path) {
  std::replace(path.begin(), path.end(), '/', '.');
  return path;
}
std::string Good(const std::string& path) { return App(Named(path) + ":"); }
std::string Repaired(const std::string& path) { return App(Named(path) + "-"); }
const char kDamaged[] = "not an export file, though long enough to be tested as one";

std::string ReadAll(std::FILE* file) {
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  return text;
}

std::string Joined(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& arg : args) text += arg + " ";
  return text;
}

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// A tree of folders, as POSIX (separator "/") or Windows ("\", names without regard to case)
// keeps it. Entries come unsorted, as FAT returns them:
//   TREE/ b.aef  App.AEF  notes.txt  .hidden.AEF (hidden)  sys.MEF (system)  sub/  link/ (a link)
//   TREE/sub/ App.AEF  deep/        TREE/sub/deep/ D.Mef        TREE/link/ L.AEF
class EfxFoldersTest : public ::testing::Test {
 protected:
  explicit EfxFoldersTest(bool windows = false)
      : separator_(windows ? "\\" : "/"),
        fs_(windows ? "\\/" : "/"),
        runtime_(fs_, settings_, ui_) {
    runtime_.runtime().state().directory_search = &search_;
    ui_.logging = false;
    fs_.case_insensitive_names = windows;
    Folder("TREE",
           {E::Entry("b.aef", kFile), E::Entry("App.AEF", kFile), E::Entry("notes.txt", kFile),
            E::Entry(".hidden.AEF", kFile | 0x2), E::Entry("sys.MEF", kFile | 0x4),
            E::Entry("sub", kFolder), E::Entry("link", kFolder | FILE_ATTRIBUTE_REPARSE_POINT)});
    Folder("TREE/sub", {E::Entry("deep", kFolder), E::Entry("App.AEF", kFile)});
    Folder("TREE/sub/deep", {E::Entry("D.Mef", kFile)});
    Folder("TREE/link", {E::Entry("L.AEF", kFile)});
    Folder("EMPTY", {E::Entry("notes.txt", kFile)});
    for (const char* path : {"TREE/b.aef", "TREE/App.AEF", "TREE/.hidden.AEF", "TREE/sys.MEF",
                             "TREE/sub/App.AEF", "TREE/sub/deep/D.Mef", "TREE/link/L.AEF"}) {
      fs_.AddFile(P(path), Good(path));
    }
    fs_.AddFile(P("TREE/notes.txt"), "notes");
  }

  // The path with the tree's own separator.
  std::string P(std::string path) const {
    for (char& c : path) c = c == '/' ? separator_[0] : c;
    return path;
  }
  void Folder(const std::string& path, std::vector<WIN32_FIND_DATAA> entries) {
    fs_.CreateFolder(P(path));
    search_.Script(P(path + "/*"), std::move(entries));
  }
  std::string Content(const std::string& path) const { return fs_.Content(P(path)); }

  Outcome Run(std::vector<std::string> args, bool interrupt = false) {
    for (std::string& arg : args) arg = P(arg);
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    volatile std::sig_atomic_t interrupted = interrupt ? 1 : 0;
    ConsoleUi console(err, false, &interrupted);
    EfxEnvironment env{fs_, settings_, console, out, err};
    if (separator_ == "\\") env.encoding = TerminalEncoding::kAnsiConsole;  // "\\" as it is
    Outcome outcome;
    outcome.status = RunEfx(args, env);
    outcome.out = ReadAll(out);
    outcome.err = ReadAll(err);
    std::fclose(out);
    std::fclose(err);
    return outcome;
  }

  std::string separator_;
  HeadlessFileSystem fs_;
  HeadlessSettings settings_;
  HeadlessUi ui_;
  HeadlessDirectorySearch search_;
  ScopedRuntime runtime_;
};

class EfxFoldersWindowsTest : public EfxFoldersTest {
 protected:
  EfxFoldersWindowsTest() : EfxFoldersTest(true) {}
};

TEST_F(EfxFoldersTest, RecursiveTakesTheExportFilesOfATreeInNameOrderFolderByFolder) {
  const std::vector<std::string> tree = {"TREE/App.AEF", "TREE/b.aef", "TREE/sub/App.AEF",
                                         "TREE/sub/deep/D.Mef"};
  struct Case {
    std::vector<std::string> args;
    int status;
    std::vector<std::string> opened;  // the inputs, in the order they were read
    const char* message;
  } cases[] = {
      {{"fix", "-r", "TREE"}, kExitOk, tree, "4 .FIX files were successfully written."},
      {{"check", "--recursive", "TREE"}, kExitNeedsRepair, tree, "4 files: 4 need repair"},
      {{"fix", "-r", "TREE/sub/deep", "TREE/b.aef"},
       kExitOk,
       {"TREE/sub/deep/D.Mef", "TREE/b.aef"},
       "2 .FIX files"},
      {{"fix", "TREE/b.aef", "TREE", "TREE/App.AEF"},
       kExitFailed,
       {"TREE/b.aef"},
       "Error reading TREE (a folder: add -r (--recursive)"},
      {{"check", "TREE/sub", "TREE/b.aef"},
       kExitCannotProcess,
       {"TREE/b.aef"},
       "cannot be processed: Error reading TREE/sub (a folder: add -r"},
      {{"fix", "-k", "TREE", "TREE/b.aef"}, kExitFailed, {"TREE/b.aef"}, "  TREE\n"},
      {{"fix", "-r", "EMPTY", "TREE/b.aef"}, kExitFailed, {}, "No export file under EMPTY"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Joined(c.args));
    fs_.opened.clear();
    Outcome outcome = Run(c.args);
    EXPECT_EQ(outcome.status, c.status) << outcome.err;
    EXPECT_EQ(fs_.opened, c.opened);
    EXPECT_NE((outcome.out + outcome.err).find(c.message), std::string::npos)
        << outcome.out << outcome.err;
  }
  EXPECT_EQ(Content("TREE/sub/deep/D.fix"), Repaired("TREE/sub/deep/D.Mef"));
  for (const char* skipped : {"TREE/link/L.fix", "TREE/.hidden.fix", "TREE/sys.fix"}) {
    EXPECT_FALSE(fs_.Exists(skipped)) << skipped;
  }
}

TEST_F(EfxFoldersTest, OutDirWritesEachCopyUnderItsInputsNameAndRefusesToReplaceAnInput) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::map<std::string, std::string> copies;  // copy: input
    const char* message;
  } cases[] = {
      {{"fix", "--out-dir", "OUT", "TREE/sub/App.AEF"},
       kExitOk,
       {{"OUT/App.AEF", "TREE/sub/App.AEF"}},
       "1 repaired copy was written to OUT."},
      {{"fix", "-r", "--out-dir", "OUT/x", "TREE"},
       kExitOk,
       {{"OUT/x/App.AEF", "TREE/App.AEF"},
        {"OUT/x/b.aef", "TREE/b.aef"},
        {"OUT/x/sub/App.AEF", "TREE/sub/App.AEF"},
        {"OUT/x/sub/deep/D.Mef", "TREE/sub/deep/D.Mef"}},
       "4 repaired copies were written to OUT/x."},
      // Inside the tree, but replacing no input.
      {{"fix", "-r", "--out-dir", "TREE/new", "TREE/sub"},
       kExitOk,
       {{"TREE/new/App.AEF", "TREE/sub/App.AEF"}, {"TREE/new/deep/D.Mef", "TREE/sub/deep/D.Mef"}},
       "2 repaired copies"},
      {{"fix", "-r", "--out-dir", "TREE", "TREE"},
       kExitUsage,
       {},
       "the copy of TREE/App.AEF, TREE/App.AEF, would replace the input TREE/App.AEF"},
      {{"fix", "-r", "--out-dir", "TREE/sub", "TREE"},
       kExitUsage,
       {},
       "the copy of TREE/App.AEF, TREE/sub/App.AEF, would replace the input TREE/sub/App.AEF"},
      {{"fix", "--out-dir", "OUT", "TREE/App.AEF", "TREE/sub/App.AEF"},
       kExitUsage,
       {},
       "TREE/App.AEF and TREE/sub/App.AEF would both be repaired to OUT/App.AEF"},
      {{"fix", "--out-dir", "TREE/b.aef", "TREE/App.AEF"},
       kExitFailed,
       {},
       "could not create the folder TREE/b.aef"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Joined(c.args));
    fs_.created.clear();
    fs_.folders_made.clear();
    Outcome outcome = Run(c.args);
    EXPECT_EQ(outcome.status, c.status) << outcome.err;
    EXPECT_NE((outcome.out + outcome.err).find(c.message), std::string::npos)
        << outcome.out << outcome.err;
    for (const auto& [copy, input] : c.copies) {
      EXPECT_EQ(Content(copy), Repaired(input)) << copy;
      EXPECT_EQ(Content(input), Good(input)) << input;
    }
    // A refused run writes nothing, not even a folder.
    if (c.copies.empty()) {
      EXPECT_TRUE(fs_.created.empty() && fs_.folders_made.empty());
    }
  }
  EXPECT_FALSE(fs_.Exists("OUT/x/notes.txt") || fs_.Exists("OUT/x/link/L.AEF") ||
               fs_.Exists("OUT/x/.hidden.AEF"));
}

TEST_F(EfxFoldersWindowsTest, NamesThatDifferOnlyInCaseAreOneCopy) {
  Outcome outcome = Run({"fix", "--out-dir", "C:\\", "TREE\\App.AEF", "TREE\\sub\\APP.aef"});
  EXPECT_EQ(outcome.status, kExitUsage);
  EXPECT_NE(outcome.err.find("would both be repaired to C:\\App.AEF"), std::string::npos)
      << outcome.err;
  outcome = Run({"fix", "-r", "--out-dir", "C:\\", "TREE\\sub"});
  EXPECT_EQ(outcome.status, kExitOk) << outcome.err;
  EXPECT_EQ(fs_.Content("C:\\deep\\D.Mef"), Repaired("TREE/sub/deep/D.Mef"));
}

TEST_F(EfxFoldersTest, KeepGoingRepairsTheFilesAfterADamagedOneAndNamesEveryFailure) {
  fs_.AddFile("bad.AEF", kDamaged);
  const std::vector<std::string> all_copies = {"TREE/App.fix", "TREE/b.fix", "TREE/sub/App.fix",
                                               "TREE/sub/deep/D.fix"};
  struct Case {
    std::vector<std::string> args;
    bool interrupt;
    int status;
    std::vector<std::string> copies;
    std::vector<std::string> messages;  // on standard error, in this order
  } cases[] = {
      {{"fix", "-k", "TREE/App.AEF", "bad.AEF", "gone.AEF", "TREE/b.aef"},
       false,
       kExitFailed,
       {"TREE/App.fix", "TREE/b.fix"},
       {"bad.AEF is not a valid Export File\n", "Error reading gone.AEF\n", "b.aef (4/4)",
        "2 of 4 files failed:\n  bad.AEF\n  gone.AEF\n"}},
      {{"fix", "--keep-going", "-r", "TREE/sub", "bad.AEF"},
       false,
       kExitFailed,
       {"TREE/sub/App.fix", "TREE/sub/deep/D.fix"},
       {"bad.AEF is not a valid Export File\n", "1 of 3 files failed:\n  bad.AEF\n"}},
      // Ctrl-C still ends the whole run at once.
      {{"fix", "-k", "TREE/App.AEF", "bad.AEF", "TREE/b.aef"},
       true,
       kExitCancelled,
       {},
       {"Cancelled.\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Joined(c.args) + (c.interrupt ? " interrupted" : ""));
    for (const std::string& copy : all_copies) fs_.Erase(copy);
    Outcome outcome = Run(c.args, c.interrupt);
    EXPECT_EQ(outcome.status, c.status);
    size_t at = 0;
    for (const std::string& message : c.messages) {
      at = outcome.err.find(message, at);
      EXPECT_NE(at, std::string::npos) << message << " in\n" << outcome.err;
    }
    EXPECT_TRUE(outcome.err.ends_with(c.messages.back())) << outcome.err;
    for (const std::string& copy : all_copies) {
      bool expected = std::find(c.copies.begin(), c.copies.end(), copy) != c.copies.end();
      EXPECT_EQ(fs_.Exists(copy), expected) << copy;
    }
  }
  EXPECT_EQ(fs_.Content("bad.AEF"), kDamaged);
}

}  // namespace
}  // namespace qef
