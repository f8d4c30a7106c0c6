// Faults of a real POSIX file system during a repair run: a disk that fills up, a file size
// limit, a folder that cannot be written, a temporary name already taken, an input removed or
// cut after its test. Each run happens in a child process, so that limits and a dropped user
// stay there.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "exportfile/export_file.h"
#include "exportfile/process_ef.h"
#include "exportfile/repair.h"
#include "exportfile/testing/records.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_settings_file.h"
#include "platform/posix/posix_test_folder.h"
#include "progress/win_progress.h"
#include "runtime/runtime.h"

namespace qef {
namespace {

using testing::HeaderRecord;
using testing::Record;

// The real file system, with a hook that runs when the copy's temporary file is created: after
// the input's test, before its records are read.
class HookedFileSystem : public PosixFileSystem {
 public:
  std::unique_ptr<File> CreateLike(const std::string& path, CreateMode mode, File& model) override {
    if (before_copy && path.size() > 8 && path.ends_with(".partial")) before_copy();
    return PosixFileSystem::CreateLike(path, mode, model);
  }
  std::function<void()> before_copy;
};

struct RunResult {
  int completed = -1;
  std::string box;  // the first warning's text
};

// Runs ProcessEF on `path` in a child process after `prepare` ran there. Without `system_help`
// the file system neither maps files nor copies spans in the kernel.
RunResult RunInChild(const std::string& path, const std::function<void()>& prepare,
                     const std::function<void()>& before_copy = nullptr, bool system_help = true) {
  int pipe_ends[2];
  if (::pipe(pipe_ends) != 0) return {};
  std::fflush(nullptr);
  pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe_ends[0]);
    prepare();
    HookedFileSystem files;
    files.before_copy = before_copy;
    files.kernel_copy = files.views = system_help;
    HeadlessSettings settings;
    HeadlessUi ui;
    ScopedRuntime runtime(files, settings, ui);
    std::string report;
    {
      WinProgress win;
      report = std::to_string(ProcessEF({path}, win)) + "\n";
    }
    if (!ui.boxes.empty()) report += ui.boxes[0].text;
    ssize_t ignored = ::write(pipe_ends[1], report.data(), report.size());
    (void)ignored;
    ::_exit(0);
  }
  ::close(pipe_ends[1]);
  std::string report;
  char chunk[512];
  for (ssize_t got; (got = ::read(pipe_ends[0], chunk, sizeof chunk)) > 0;)
    report.append(chunk, got);
  ::close(pipe_ends[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  RunResult result;
  size_t line = report.find('\n');
  if (!WIFEXITED(status) || line == std::string::npos) return result;
  result.completed = std::stoi(report.substr(0, line));
  result.box = report.substr(line + 1);
  return result;
}

// An input of `size` bytes or a little more whose repaired copy differs from it.
struct Input {
  std::string bytes;
  std::string repaired;
};
Input MakeInput(size_t size) {
  std::string opaque = Record(0x41, std::string(size, 'z'));
  return {HeaderRecord() + Record(AEF_REC_APPNAME, "a:b") + opaque,
          HeaderRecord() + Record(AEF_REC_APPNAME, "a-b") + opaque};
}

bool AnyTemporaryIn(const std::string& folder) {
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().string().find(".partial") != std::string::npos) return true;
  }
  return false;
}

void ExpectNothingLost(const PosixTestFolder& folder, const std::string& sub, const Input& input,
                       const RunResult& result, const std::string& message) {
  EXPECT_EQ(result.completed, 0);
  EXPECT_EQ(result.box, message);
  EXPECT_EQ(folder.Get(sub + "in.fix"), "earlier copy");
  EXPECT_EQ(folder.Get(sub + "in.AEF"), input.bytes);
  EXPECT_FALSE(AnyTemporaryIn(folder.Path(sub.empty() ? "." : sub)));
}

TEST(ProcessEFPosixTest, DiskFullOnASmallTmpfs) {
  PosixTestFolder folder;
  ASSERT_FALSE(folder.path().empty());
  std::string disk = folder.Path("disk");
  std::filesystem::create_directory(disk);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=320k") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno)
                 << "); the file size limit test covers a full disk";
  }
  Input input = MakeInput(200000);
  for (bool system_help : {true, false}) {
    SCOPED_TRACE(system_help);
    folder.Put("disk/in.AEF", input.bytes);
    folder.Put("disk/in.fix", "earlier copy");
    RunResult result = RunInChild(
        folder.Path("disk/in.AEF"), [] {}, nullptr, system_help);
    ExpectNothingLost(folder, "disk/", input, result,
                      "Error writing " + folder.Path("disk/in.fix"));
  }
  ::umount2(disk.c_str(), MNT_DETACH);
}

TEST(ProcessEFPosixTest, FileSizeLimitReachedDuringTheCopy) {
  PosixTestFolder folder;
  Input input = MakeInput(300000);
  for (bool system_help : {true, false}) {
    SCOPED_TRACE(system_help);
    folder.Put("in.AEF", input.bytes);
    folder.Put("in.fix", "earlier copy");
    RunResult result = RunInChild(
        folder.Path("in.AEF"),
        [] {
          ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
          rlimit limit{64 * 1024, 64 * 1024};
          ::setrlimit(RLIMIT_FSIZE, &limit);
        },
        nullptr, system_help);
    ExpectNothingLost(folder, "", input, result, "Error writing " + folder.Path("in.fix"));
  }
}

// The kernel's span copy and its fall-back, views and reads, give the same copy.
TEST(ProcessEFPosixTest, CopyIsTheSameWithAndWithoutTheKernelsHelp) {
  PosixTestFolder folder;
  std::string records;
  for (int i = 0; i < 300; ++i) {
    records += Record(AEF_REC_MODNAME, std::string("M:") + std::to_string(i % 7) + '\0');
    records += Record(0x41, std::string(5000 + i, static_cast<char>('a' + i % 26)));
  }
  std::string input = HeaderRecord() + Record(AEF_REC_APPNAME, "a:b") + records;
  folder.Put("in.AEF", input);
  std::optional<std::string> first;
  for (bool system_help : {true, false}) {
    SCOPED_TRACE(system_help);
    RunResult result = RunInChild(
        folder.Path("in.AEF"), [] {}, nullptr, system_help);
    EXPECT_EQ(result.completed, 1);
    std::optional<std::string> copy = folder.Get("in.fix");
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->size(), input.size());
    EXPECT_NE(*copy, input);
    if (first) {
      EXPECT_EQ(*copy, *first);
    }
    first = copy;
  }
}

TEST(ProcessEFPosixTest, ReadOnlyOutputFolder) {
  PosixTestFolder folder;
  Input input = MakeInput(1000);
  folder.Put("in.AEF", input.bytes);
  folder.Put("in.fix", "earlier copy");
  ASSERT_EQ(::chmod(folder.path().c_str(), 0555), 0);
  RunResult result = RunInChild(folder.Path("in.AEF"), [] {
    // The superuser writes anywhere: run as nobody.
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(1);
  });
  ::chmod(folder.path().c_str(), 0700);
  ExpectNothingLost(folder, "", input, result, "Could not create " + folder.Path("in.fix"));
}

// A temporary file that a killed run left is taken again; one that another run is writing is
// left alone, and the next name is used.
TEST(ProcessEFPosixTest, TemporaryNameAlreadyTaken) {
  PosixTestFolder folder;
  Input input = MakeInput(1000);
  folder.Put("in.AEF", input.bytes);
  folder.Put("in.fix", "earlier copy");
  folder.Put("in.fix.partial", "left by a killed run");
  RunResult result = RunInChild(folder.Path("in.AEF"), [] {});
  EXPECT_EQ(result.completed, 1);
  EXPECT_EQ(result.box, "");
  EXPECT_EQ(folder.Get("in.fix"), input.repaired);
  EXPECT_FALSE(folder.Get("in.fix.partial"));
  EXPECT_FALSE(folder.Get("in.fix.partial2"));

  PosixFileSystem other_run;
  std::unique_ptr<File> held =
      other_run.Create(folder.Path("in.fix.partial"), CreateMode::kTemporary);
  ASSERT_NE(held, nullptr);
  ASSERT_TRUE(held->Write("someone else's", 14));
  folder.Put("in.fix", "earlier copy");
  result = RunInChild(folder.Path("in.AEF"), [] {});
  EXPECT_EQ(result.completed, 1);
  EXPECT_EQ(folder.Get("in.fix"), input.repaired);
  EXPECT_EQ(folder.Get("in.fix.partial"), "someone else's");
  EXPECT_FALSE(folder.Get("in.fix.partial2"));
}

TEST(ProcessEFPosixTest, InputRemovedOrCutAfterItsTest) {
  struct Case {
    const char* name;
    bool remove;
    bool completes;
  } cases[] = {
      {"removed: the open file is still read whole", true, true},
      {"cut: the copy is refused", false, false},
  };
  for (const Case& c : cases) {
    for (bool system_help : {true, false}) {
      SCOPED_TRACE(c.name);
      SCOPED_TRACE(system_help);
      PosixTestFolder folder;
      Input input = MakeInput(600000);
      folder.Put("in.AEF", input.bytes);
      folder.Put("in.fix", "earlier copy");
      std::string path = folder.Path("in.AEF");
      RunResult result = RunInChild(
          path, [] {},
          [&] {
            if (c.remove) {
              ::unlink(path.c_str());
            } else {
              ::truncate(path.c_str(), 300000);
            }
          },
          system_help);
      if (c.completes) {
        EXPECT_EQ(result.completed, 1);
        EXPECT_EQ(folder.Get("in.fix"), input.repaired);
      } else {
        EXPECT_EQ(result.completed, 0);
        EXPECT_EQ(result.box, "Error reading " + path);
        EXPECT_EQ(folder.Get("in.fix"), "earlier copy");
      }
      EXPECT_FALSE(AnyTemporaryIn(folder.path()));
    }
  }
}

TEST(ProcessEFPosixTest, HostileSettingsFiles) {
  using namespace std::string_literals;
  const std::string section = "[Quillon Pack 2\\Export Fix]\n";
  const std::string long_bad((1 << 19) - 64, 'q');  // two of them fit in the largest file read
  struct Case {
    const char* name;
    std::optional<std::string> file;  // nothing: a folder stands where the file should be
    std::string bad;                  // in force; empty: the default
    std::string good;
  } cases[] = {
      {"very long values", section + "Bad=" + long_bad + ":\nGood=" + long_bad + "+\n",
       long_bad + ":", long_bad + "+"},
      {"larger than 1 MiB: not read", section + "Bad=" + long_bad + long_bad + long_bad + ":\n", "",
       ""},
      {"zero bytes in the values", section + "Bad=a\0:\nGood=A\0+\n"s, "a\0:"s, "A\0+"s},
      {"bytes beyond ASCII", section + "Bad=\xE9:\nGood=e\xFF\n", "\xE9:", "e\xFF"},
      {"values missing", section, "", ""},
      {"values empty", section + "Bad=\nGood=\n", "", ""},
      {"no file at all", "", "", ""},
      {"section never closed", "[Quillon Pack 2\\Export Fix\nBad=a\n", "", ""},
      {"lines without =", section + "Bad\nGood\n", "", ""},
      {"binary garbage", "\x80\x00\xFF[]=\n=\n[\n\x01\x02\n"s + section + "Bad=\x01\n", "\x01", ""},
      {"unreadable: a folder", std::nullopt, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PosixTestFolder folder;
    std::string settings_path = folder.Path("exportfix.ini");
    if (!c.file) {
      std::filesystem::create_directory(settings_path);
    } else if (!c.file->empty()) {
      folder.Put("exportfix.ini", *c.file);
    }
    std::string body = "a:b\xE9q+\x01"s + '\0' + "z";
    std::string input = HeaderRecord() + Record(AEF_REC_APPNAME, body);
    folder.Put("in.AEF", input);

    PosixFileSystem files;
    PosixSettingsFile settings(settings_path);
    HeadlessUi ui;
    ScopedRuntime runtime(files, settings, ui);
    WinProgress win;
    EXPECT_EQ(ProcessEF({folder.Path("in.AEF")}, win), 1u);
    EXPECT_TRUE(ui.boxes.empty());
    std::string expected = body;
    CharacterMap(WithDefaults(c.bad, c.good)).Apply(expected);
    EXPECT_EQ(folder.Get("in.fix"), HeaderRecord() + Record(AEF_REC_APPNAME, expected));
  }
}

// The copy is as private as its input: the input's permission bits, less the write bits that the
// user's mask removes; an earlier copy's looser bits do not survive.
TEST(ProcessEFPosixTest, CopyTakesTheInputsPermissions) {
  struct Case {
    mode_t input;
    mode_t mask;
    mode_t copy;
  };
  const Case cases[] = {{0600, 022, 0600}, {0640, 077, 0640}, {0600, 077, 0600},  {0664, 022, 0644},
                        {0444, 022, 0444}, {0755, 002, 0755}, {04755, 022, 0755}, {0644, 0, 0644}};
  PosixTestFolder folder;
  Input input = MakeInput(1000);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.input) + " with mask " + std::to_string(c.mask));
    folder.Put("in.AEF", input.bytes);
    folder.Put("in.fix", "earlier copy");
    ASSERT_EQ(::chmod(folder.Path("in.fix").c_str(), 0666), 0);
    ASSERT_EQ(::chmod(folder.Path("in.AEF").c_str(), c.input), 0);
    RunResult result = RunInChild(folder.Path("in.AEF"), [&] { ::umask(c.mask); });
    EXPECT_EQ(result.completed, 1);
    struct stat info;
    ASSERT_EQ(::stat(folder.Path("in.fix").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, c.copy);
    EXPECT_EQ(folder.Get("in.fix"), input.repaired);
    ASSERT_EQ(::chmod(folder.Path("in.AEF").c_str(), 0644), 0);
  }
}

}  // namespace
}  // namespace qef
