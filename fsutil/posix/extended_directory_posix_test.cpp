#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "fsutil/extended_directory.h"
#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "platform/posix/posix_directory_search.h"
#include "platform/posix/posix_test_folder.h"
#include "runtime/international.h"
#include "runtime/runtime.h"
#include "runtime/runtime_state.h"

namespace qef {
namespace {

// Sets TZ for the lifetime of the object.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = ::getenv("TZ")) old_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ScopedTimeZone() {
    if (old_) {
      ::setenv("TZ", old_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }

 private:
  std::optional<std::string> old_;
};

class PosixListingTest : public ::testing::Test {
 protected:
  PosixListingTest() : runtime_(files_, settings_, ui_) {
    runtime_.runtime().state().directory_search = &search_;
    folder_.Put("plain.txt", "plain");
    folder_.Put("readonly.txt", "ro");
    folder_.Put(".hidden", "h");
    folder_.Put(".hiddenro", "hr");
    ::chmod(folder_.Path("readonly.txt").c_str(), 0444);
    ::chmod(folder_.Path(".hiddenro").c_str(), 0444);
    ::mkdir(folder_.Path("sub").c_str(), 0755);
    ::mkdir(folder_.Path(".hiddendir").c_str(), 0755);
    ::symlink("plain.txt", folder_.Path("link.txt").c_str());
    ::symlink("sub", folder_.Path("linkdir").c_str());
    ::mkfifo(folder_.Path("pipe").c_str(), 0644);
  }

  std::vector<std::string> Names(const std::string& pattern, const Usual& filter = Usual()) {
    std::vector<std::string> names;
    for (const Usual& row : ExtendedDirectory(folder_.Path(pattern), filter)) {
      names.push_back(row.AsArray()[kRowName - 1].AsText());
    }
    return names;
  }
  Array Row(const std::string& name) {
    Array rows = ExtendedDirectory(folder_.Path(name), Usual::Dword(0xFFFFFFFF));
    EXPECT_EQ(rows.size(), 1u) << name;
    return rows.empty() ? Array(kRowLength) : rows[0].AsArray();
  }

  HeadlessFileSystem files_;
  HeadlessSettings settings_;
  HeadlessUi ui_;
  ScopedRuntime runtime_;
  PosixDirectorySearch search_;
  PosixTestFolder folder_;
};

TEST_F(PosixListingTest, FiltersRealEntries) {
  ASSERT_FALSE(folder_.path().empty());
  const std::vector<std::string> plain = {"plain.txt", "readonly.txt"};
  const struct {
    const char* pattern;
    Usual filter;
    std::vector<std::string> names;
  } cases[] = {
      {"*", Usual(), plain},
      {"*", Usual::String("ARV"), plain},
      {"*", Usual::String("D"), {".", "..", "plain.txt", "readonly.txt", "sub"}},
      {"*", Usual::String("d"), {".", "..", "plain.txt", "readonly.txt", "sub"}},
      {"*", Usual::Dword(0x10), {".", "..", "plain.txt", "readonly.txt", "sub"}},
      {"*", Usual::String("H"), {".hidden", ".hiddenro", "plain.txt", "readonly.txt"}},
      {"*",
       Usual::String("DH"),
       {".", "..", ".hidden", ".hiddendir", ".hiddenro", "plain.txt", "readonly.txt", "sub"}},
      {"*", Usual::String("O"), {"link.txt", "plain.txt", "readonly.txt"}},
      {"*", Usual::String("S"), {"pipe", "plain.txt", "readonly.txt"}},
      {"*",
       Usual::Dword(0xD16),
       {".", "..", ".hidden", ".hiddendir", ".hiddenro", "link.txt", "linkdir", "pipe", "plain.txt",
        "readonly.txt", "sub"}},
      {"*.TXT", Usual(), plain},
      {"?lain.*", Usual(), {"plain.txt"}},
      {"PLAIN.TXT", Usual(), {"plain.txt"}},
      {".", Usual::String("D"), {"."}},
      {".", Usual(), {}},
      {"*.", Usual::String("D"), {".", ".."}},
      {"nothing*", Usual::Dword(0xD16), {}},
      {"missing/*", Usual::Dword(0xD16), {}},
      {"", Usual::Dword(0xD16), {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Names(c.pattern, c.filter), c.names) << c.pattern << " " << AsString(c.filter);
  }
  EXPECT_EQ(search_.open_searches(), 0u);
}

TEST_F(PosixListingTest, AttributesOfRealEntries) {
  const struct {
    const char* name;
    const char* letters;
    uint32_t bits;
  } cases[] = {
      {"plain.txt", "A", 0x20},   {"readonly.txt", "AR", 0x21}, {".hidden", "AH", 0x22},
      {".hiddenro", "AHR", 0x23}, {"sub", "D", 0x10},           {".hiddendir", "DH", 0x12},
      {"link.txt", "OA", 0x420},  {"linkdir", "OD", 0x410},     {"pipe", "AS", 0x24},
  };
  for (const auto& c : cases) {
    Array row = Row(c.name);
    EXPECT_EQ(row[kRowAttributes - 1].AsText(), c.letters) << c.name;
    EXPECT_EQ(row[kRowAttributeBits - 1].AsDword(), c.bits) << c.name;
    // No short names on POSIX: the long name stands in.
    EXPECT_EQ(row[kRowShortName - 1].AsText(), c.name);
  }
  EXPECT_EQ(Row("plain.txt")[kRowSize - 1].AsUint64(), 5u);
  EXPECT_EQ(Row("link.txt")[kRowSize - 1].AsUint64(), 0u);
}

TEST_F(PosixListingTest, SparseFileOfFourGibibytes) {
  const std::string path = folder_.Path("big.bin");
  int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, off_t{4294967296}), 0);
  ::close(fd);
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  // The file is sparse: it must not take real disk space.
  EXPECT_LT(static_cast<int64_t>(info.st_blocks) * 512, int64_t{1} << 20);
  EXPECT_EQ(Row("big.bin")[kRowSize - 1].AsUint64(), 4294967296u);
}

TEST_F(PosixListingTest, LastWriteInLocalTimeOfTheZone) {
  SetDateFrmt("YYYY-MM-DD");
  SetCentury(true);
  SetTimeSep(':');
  SetAmPm(false);
  const struct {
    const char* zone;
    time_t utc;  // the file's modification time
    const char* date;
    const char* time;
    int32_t seconds;
  } cases[] = {
      // 2021-01-15 12:05:09 UTC is 13:05:09 in Central European winter time.
      {"CET-1CEST,M3.5.0,M10.5.0/3", 1610712309, "2021-01-15", "13:05:09", 47109},
      // 2021-07-15 11:05:09 UTC is 13:05:09 in its summer time: the offset of that instant.
      {"CET-1CEST,M3.5.0,M10.5.0/3", 1626347109, "2021-07-15", "13:05:09", 47109},
      // 2021-01-15 07:35:09 UTC is 13:05:09 at UTC+5:30.
      {"IST-5:30", 1610696109, "2021-01-15", "13:05:09", 47109},
      // 2021-01-15 23:05:09 UTC is 13:05:09 at UTC-10.
      {"HST10", 1610751909, "2021-01-15", "13:05:09", 47109},
      // 2021-01-16 00:05:09 UTC is still the 15th there.
      {"HST10", 1610755509, "2021-01-15", "14:05:09", 50709},
      {"UTC0", 1610712309, "2021-01-15", "12:05:09", 43509},
  };
  folder_.Put("time.txt", "t");
  for (const auto& c : cases) {
    ScopedTimeZone zone(c.zone);
    struct timespec times[2] = {{c.utc, 0}, {c.utc, 999'999'999}};
    ASSERT_EQ(::utimensat(AT_FDCWD, folder_.Path("time.txt").c_str(), times, 0), 0);
    Array row = Row("time.txt");
    EXPECT_EQ(AsString(row[kRowWriteDate - 1]), c.date) << c.zone;
    EXPECT_EQ(row[kRowWriteTime - 1].AsText(), c.time) << c.zone;
    EXPECT_EQ(row[kRowWriteSeconds - 1].AsLong(), c.seconds) << c.zone;
    EXPECT_EQ(AsString(row[kRowAccessDate - 1]), c.date) << c.zone;
    EXPECT_EQ(row[kRowAccessTime - 1].AsText(), c.time) << c.zone;
  }
}

}  // namespace
}  // namespace qef
