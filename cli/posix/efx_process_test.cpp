// Faults of the whole process, given to the real efx and exportfix: closed standard streams,
// links that make two paths one file, standard output that cannot be written, signals in the
// middle of a repair. Each run is a child process with an alarm, so a program that waits
// forever fails the test instead of hanging it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/posix/real_program.h"
#include "exportfile/export_file.h"
#include "exportfile/testing/records.h"
#include "platform/posix/posix_test_folder.h"

namespace qef {
namespace {

using testing::HeaderRecord;
using testing::ModuleBody;
using testing::Record;

constexpr unsigned kAlarmSeconds = 60;

struct Outcome {
  int status = -1;  // the exit status, or 128 + the signal that ended the process
  bool signalled = false;
  std::string out;
  std::string err;
};

// How a child's standard streams are set up before it runs the program.
struct Streams {
  std::string in = "/dev/null";
  std::string out;          // empty: a file of the scratch folder, read back into Outcome::out
  std::string err;          // likewise
  std::vector<int> closed;  // descriptors closed instead
  int pipe_to_nobody = -1;  // a descriptor sent to a pipe whose reading end is closed
  rlim_t file_size_limit = RLIM_INFINITY;  // SIGXFSZ left as a shell leaves it
};

pid_t Start(const char* program, const std::vector<std::string>& args, const std::string& folder,
            const PosixTestFolder& scratch, const Streams& streams) {
  std::string out = streams.out.empty() ? scratch.Path("out") : streams.out;
  std::string err = streams.err.empty() ? scratch.Path("err") : streams.err;
  std::fflush(nullptr);
  pid_t child = ::fork();
  if (child != 0) return child;
  if (::chdir(folder.c_str()) != 0) ::_exit(126);
  auto put = [](int fd, const std::string& path, int flags) {
    int opened = ::open(path.c_str(), flags, 0600);
    if (opened < 0 || ::dup2(opened, fd) < 0) ::_exit(125);
    if (opened != fd) ::close(opened);
  };
  put(0, streams.in, O_RDONLY);
  put(1, out, O_WRONLY | O_CREAT | O_TRUNC);
  put(2, err, O_WRONLY | O_CREAT | O_TRUNC);
  if (streams.pipe_to_nobody >= 0) {
    int ends[2];
    if (::pipe(ends) != 0) ::_exit(125);
    ::close(ends[0]);
    ::dup2(ends[1], streams.pipe_to_nobody);
    ::close(ends[1]);
    ::signal(SIGPIPE, SIG_DFL);  // as a shell would leave it
  }
  for (int fd : streams.closed) ::close(fd);
  if (streams.file_size_limit != RLIM_INFINITY) {
    ::signal(SIGXFSZ, SIG_DFL);
    struct rlimit limit = {streams.file_size_limit, streams.file_size_limit};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ::setenv("LC_ALL", "C.UTF-8", 1);
  ::setenv("EXPORTFIX_SETTINGS", scratch.Path("settings.ini").c_str(), 1);
  ExecWithAlarm(program, args, kAlarmSeconds);
}

Outcome Finish(pid_t child, const PosixTestFolder& scratch, const Streams& streams) {
  int status = 0;
  ::waitpid(child, &status, 0);
  Outcome outcome;
  outcome.signalled = WIFSIGNALED(status);
  outcome.status = outcome.signalled ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
  if (streams.out.empty()) outcome.out = ReadWhole(scratch.Path("out")).value_or("");
  if (streams.err.empty()) outcome.err = ReadWhole(scratch.Path("err")).value_or("");
  return outcome;
}

Outcome RunToEnd(const char* program, const std::vector<std::string>& args,
                 const std::string& folder, const PosixTestFolder& scratch,
                 const Streams& streams = {}) {
  return Finish(Start(program, args, folder, scratch, streams), scratch, streams);
}

std::vector<std::string> Temporaries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    std::string name = entry.path().filename().string();
    if (name.find(".partial") != std::string::npos) names.push_back(name);
  }
  return names;
}

// A small export file whose repair changes one name: "a:b" becomes "a-b".
std::string Small(const std::string& name) {
  return HeaderRecord() + Record(AEF_REC_APPNAME, name + ":b") + Record(0x41, std::string(99, 'z'));
}
std::string SmallRepaired(const std::string& name) {
  return HeaderRecord() + Record(AEF_REC_APPNAME, name + "-b") + Record(0x41, std::string(99, 'z'));
}

class EfxProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.path().empty());
    ASSERT_FALSE(scratch_.path().empty());
  }
  PosixTestFolder folder_, scratch_;
};

// With a standard stream closed, the copy's temporary file took its number and received the
// progress line: a corrupt copy, counted as a success.
TEST_F(EfxProcessTest, ClosedStandardStreamsNeverReceiveACopy) {
  const std::vector<std::vector<int>> closings = {{1, 2}, {0, 2}, {0, 1, 2}, {2}};
  for (const std::vector<int>& closed : closings) {
    std::string trace;
    for (int fd : closed) trace += std::to_string(fd) + " ";
    SCOPED_TRACE("closed: " + trace);
    folder_.Put("App.AEF", Small("a"));
    std::filesystem::remove(folder_.Path("App.fix"));
    Streams streams;
    streams.closed = closed;
    Outcome outcome = RunToEnd(EFX_PATH, {"fix", "App.AEF"}, folder_.path(), scratch_, streams);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(folder_.Get("App.fix"), SmallRepaired("a"));
  }
  // exportfix in line mode, with the files given and standard error closed.
  folder_.Put("ok.txt", "ok\n\n");
  std::filesystem::remove(folder_.Path("App.fix"));
  Streams streams;
  streams.in = folder_.Path("ok.txt");
  streams.closed = {2};
  Outcome outcome = RunToEnd(EXPORTFIX_PATH, {"App.AEF"}, folder_.path(), scratch_, streams);
  EXPECT_EQ(outcome.status, 0) << outcome.out;
  EXPECT_EQ(folder_.Get("App.fix"), SmallRepaired("a"));
  EXPECT_TRUE(Temporaries(folder_.path()).empty());
}

// Two inputs whose copies are one file, through a link, are refused before anything is
// replaced; two whose paths look alike but lead to different folders are not.
TEST_F(EfxProcessTest, CopiesAreOneFileByTheFileSystemNotByThePathText) {
  folder_.Put("App.AEF", Small("a"));
  folder_.Put("App.MEF", Small("m"));
  ASSERT_EQ(::symlink(".", folder_.Path("alias").c_str()), 0);
  Outcome outcome =
      RunToEnd(EFX_PATH, {"fix", "App.AEF", "alias/App.MEF"}, folder_.path(), scratch_);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("alias/App.MEF would be repaired to alias/App.fix, which this run "
                             "has already written, so it is not processed"),
            std::string::npos)
      << outcome.err;
  EXPECT_EQ(outcome.out, "1 .FIX file was successfully written.\n");
  EXPECT_EQ(folder_.Get("App.fix"), SmallRepaired("a")) << "the first copy was replaced";

  outcome = RunToEnd(EFX_PATH, {"check", "App.AEF", "alias/App.MEF"}, folder_.path(), scratch_);
  EXPECT_EQ(outcome.status, 3);
  EXPECT_NE(outcome.out.find("the copy of an earlier file of this run, so it would not be "
                             "processed"),
            std::string::npos)
      << outcome.out;

  // sl/.. is the folder above sl's target, not this one.
  std::filesystem::create_directories(folder_.Path("other/sub"));
  folder_.Put("other/App.MEF", Small("o"));
  ASSERT_EQ(::symlink("other/sub", folder_.Path("sl").c_str()), 0);
  std::filesystem::remove(folder_.Path("App.fix"));
  outcome = RunToEnd(EFX_PATH, {"fix", "App.AEF", "sl/../App.MEF"}, folder_.path(), scratch_);
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(folder_.Get("App.fix"), SmallRepaired("a"));
  EXPECT_EQ(folder_.Get("other/App.fix"), SmallRepaired("o"));
}

// Data.AEF, a link to Data.fix, would be replaced by its own copy.
TEST_F(EfxProcessTest, AnInputThatIsItsOwnCopyThroughALinkIsRefused) {
  folder_.Put("Data.fix", Small("d"));
  ASSERT_EQ(::symlink("Data.fix", folder_.Path("Data.AEF").c_str()), 0);
  for (const char* command : {"fix", "check"}) {
    SCOPED_TRACE(command);
    Outcome outcome = RunToEnd(EFX_PATH, {command, "Data.AEF"}, folder_.path(), scratch_);
    EXPECT_EQ(outcome.status, std::string(command) == "fix" ? 1 : 3);
    EXPECT_NE((outcome.out + outcome.err)
                  .find("Data.AEF is the same file as its repaired copy Data.fix, which would "
                        "replace it, so it is not processed"),
              std::string::npos)
        << outcome.out << outcome.err;
    EXPECT_EQ(folder_.Get("Data.fix"), Small("d"));
  }
  EXPECT_TRUE(Temporaries(folder_.path()).empty());
}

// A report that did not arrive whole must not end with the status of a complete one.
TEST_F(EfxProcessTest, AStandardOutputThatCannotBeWrittenIsAnError) {
  folder_.Put("App.AEF", Small("a"));
  const std::vector<std::vector<std::string>> runs = {
      {"dump", "--json", "App.AEF"},
      {"dump", "App.AEF"},
      {"check", "--json", "App.AEF"},
      {"check", "App.AEF"},
      {"ls", "*"},
      {"--help"},
      {"--version"},
      {"fix", "App.AEF"},
  };
  for (const std::vector<std::string>& args : runs) {
    SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : ""));
    Streams streams;
    streams.out = "/dev/full";
    Outcome outcome = RunToEnd(EFX_PATH, args, folder_.path(), scratch_, streams);
    EXPECT_EQ(outcome.status, 2);
    // With the reason where the last write still knew it.
    EXPECT_NE(outcome.err.find("efx: error writing standard output"), std::string::npos)
        << outcome.err;
  }
}

// `efx fix A.AEF B.AEF 2>&1 | head -n 1`: the reader goes away after the first line. The run
// is not killed halfway; the broken stream is a write error.
TEST_F(EfxProcessTest, ABrokenPipeIsAWriteErrorNotTheEndOfTheRun) {
  folder_.Put("A.AEF", Small("a"));
  folder_.Put("B.AEF", Small("b"));
  for (int fd : {1, 2}) {
    SCOPED_TRACE(fd);
    std::filesystem::remove(folder_.Path("A.fix"));
    std::filesystem::remove(folder_.Path("B.fix"));
    Streams streams;
    streams.pipe_to_nobody = fd;
    Outcome outcome =
        RunToEnd(EFX_PATH, {"fix", "A.AEF", "B.AEF"}, folder_.path(), scratch_, streams);
    EXPECT_FALSE(outcome.signalled) << outcome.status;
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(folder_.Get("A.fix"), SmallRepaired("a"));
    EXPECT_EQ(folder_.Get("B.fix"), SmallRepaired("b"));
    EXPECT_TRUE(Temporaries(folder_.path()).empty());
  }
}

// efx says why a copy could not be created or written; the boxes of exportfix keep the texts.
TEST_F(EfxProcessTest, TheSystemsReasonFollowsTheFailure) {
  folder_.Put("App.AEF", Small("a") + std::string(200000, 'z'));
  std::filesystem::create_directory(folder_.Path("App.fix"));
  Outcome outcome = RunToEnd(EFX_PATH, {"fix", "App.AEF"}, folder_.path(), scratch_);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("Could not create App.fix (is a directory)"), std::string::npos)
      << outcome.err;
  std::filesystem::remove(folder_.Path("App.fix"));

  Streams streams;
  streams.file_size_limit = 65536;
  outcome = RunToEnd(EFX_PATH, {"fix", "App.AEF"}, folder_.path(), scratch_, streams);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("Error writing App.fix (file too large)"), std::string::npos)
      << outcome.err;
  EXPECT_TRUE(Temporaries(folder_.path()).empty());
}

// A large input whose copy takes a while: name records all along it.
std::string Large(size_t size) {
  std::string input = HeaderRecord();
  for (int i = 0; input.size() < size; ++i) {
    input += Record(AEF_REC_MODNAME, ModuleBody("Mod:" + std::to_string(i)));
    input += Record(0x41, std::string(60000, static_cast<char>('a' + i % 26)));
  }
  return input;
}

// SIGTERM and SIGHUP cancel as Ctrl-C does: the copy under way is removed, the earlier copy
// stays, and the status is 128 + the signal.
TEST_F(EfxProcessTest, ASignalToEndCancelsTheRepairAndLeavesNoTemporaryFile) {
  const std::string input = Large(200u << 20);
  folder_.Put("big.AEF", input);
  folder_.Put("ok.txt", "ok\n");
  const std::string partial = folder_.Path("big.fix.partial");
  struct Case {
    const char* program;
    int signal;
  };
  const Case cases[] = {{EFX_PATH, SIGTERM},
                        {EFX_PATH, SIGHUP},
                        {EFX_PATH, SIGINT},
                        {EXPORTFIX_PATH, SIGHUP},
                        {EXPORTFIX_PATH, SIGTERM}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.program) + " " + std::to_string(c.signal));
    folder_.Put("big.fix", "earlier copy");
    Streams streams;
    streams.in = folder_.Path("ok.txt");
    bool efx = std::string(c.program) == EFX_PATH;
    pid_t child = Start(c.program,
                        efx ? std::vector<std::string>{"fix", "big.AEF"}
                            : std::vector<std::string>{folder_.Path("big.AEF")},
                        folder_.path(), scratch_, streams);
    // Polled, not timed: the signal lands once a part of the copy is written.
    bool landed = false;
    for (struct stat info;;) {
      if (::stat(partial.c_str(), &info) == 0 && info.st_size >= (1 << 20)) {
        landed = ::kill(child, c.signal) == 0;
        break;
      }
      int status;
      if (::waitpid(child, &status, WNOHANG) == child) break;
    }
    ASSERT_TRUE(landed) << "the run ended before the signal";
    Outcome outcome = Finish(child, scratch_, streams);
    EXPECT_FALSE(outcome.signalled);
    EXPECT_EQ(outcome.status, 128 + c.signal) << outcome.err;
    EXPECT_TRUE(Temporaries(folder_.path()).empty());
    EXPECT_EQ(folder_.Get("big.fix"), "earlier copy");
    if (efx) {
      EXPECT_NE(outcome.err.find("Cancelled."), std::string::npos) << outcome.err;
    }
  }
  EXPECT_EQ(ReadWhole(folder_.Path("big.AEF")), input);
}

// A killed run leaves its temporary file; the next run takes that name again instead of adding
// another, each time.
TEST_F(EfxProcessTest, AStaleTemporaryFileIsTakenAgain) {
  folder_.Put("App.AEF", Small("a"));
  for (int run = 0; run < 3; ++run) {
    folder_.Put("App.fix.partial", "left by a killed run");
    Outcome outcome = RunToEnd(EFX_PATH, {"fix", "App.AEF"}, folder_.path(), scratch_);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(folder_.Get("App.fix"), SmallRepaired("a"));
    EXPECT_TRUE(Temporaries(folder_.path()).empty());
  }
}

// A tree of three levels on a read-only share, with good, damaged and hidden files and a link to
// a folder elsewhere: each good file's repair at its mirrored path, each damaged file named,
// the tree untouched.
TEST_F(EfxProcessTest, ARecursiveRunIntoAnOutputFolderGoesOnPastDamagedFiles) {
  const std::string damaged = "damaged beyond repair, and long enough to be tested as a file";
  for (const char* folder : {"TREE/one/two", "TREE/one/.git", "elsewhere"}) {
    std::filesystem::create_directories(folder_.Path(folder));
  }
  folder_.Put("TREE/App.AEF", Small("a"));
  folder_.Put("TREE/Bad.AEF", damaged);
  folder_.Put("TREE/.Hidden.AEF", Small("h"));
  folder_.Put("TREE/notes.txt", "notes");
  folder_.Put("TREE/one/Mod.mef", Small("m"));
  folder_.Put("TREE/one/.git/Old.AEF", Small("g"));
  folder_.Put("TREE/one/two/Deep.Aef", Small("d"));
  folder_.Put("TREE/one/two/Cut.MEF", damaged);
  folder_.Put("elsewhere/Far.AEF", Small("f"));
  ASSERT_EQ(::symlink("../../elsewhere", folder_.Path("TREE/one/far").c_str()), 0);
  auto snapshot = [&] {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_.Path("TREE"))) {
      const std::string path = entry.path().string();
      files[path] = entry.is_regular_file() ? ReadWhole(path).value_or("") : "(not a file)";
    }
    return files;
  };
  const auto before = snapshot();
  for (const char* folder : {"TREE", "TREE/one", "TREE/one/two"}) {
    ::chmod(folder_.Path(folder).c_str(), 0555);
  }

  Outcome outcome = RunToEnd(EFX_PATH, {"fix", "-r", "--out-dir", "OUT", "--keep-going", "TREE"},
                             folder_.path(), scratch_);
  for (const char* folder : {"TREE", "TREE/one", "TREE/one/two"}) {
    ::chmod(folder_.Path(folder).c_str(), 0755);
  }
  EXPECT_EQ(outcome.status, 1) << outcome.err;
  EXPECT_EQ(outcome.out, "3 repaired copies were written to OUT.\n");
  EXPECT_NE(outcome.err.find("TREE/Bad.AEF is not a valid Export File\n"), std::string::npos);
  EXPECT_TRUE(
      outcome.err.ends_with("2 of 5 files failed:\n  TREE/Bad.AEF\n"
                            "  TREE/one/two/Cut.MEF\n"))
      << outcome.err;
  std::vector<std::string> copies;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_.Path("OUT"))) {
    copies.push_back(entry.path().string().substr(folder_.path().size() + 1));
  }
  std::sort(copies.begin(), copies.end());
  EXPECT_EQ(copies, (std::vector<std::string>{"OUT/App.AEF", "OUT/one", "OUT/one/Mod.mef",
                                              "OUT/one/two", "OUT/one/two/Deep.Aef"}));
  EXPECT_EQ(folder_.Get("OUT/App.AEF"), SmallRepaired("a"));
  EXPECT_EQ(folder_.Get("OUT/one/Mod.mef"), SmallRepaired("m"));
  EXPECT_EQ(folder_.Get("OUT/one/two/Deep.Aef"), SmallRepaired("d"));
  EXPECT_EQ(snapshot(), before);
}

}  // namespace
}  // namespace qef
