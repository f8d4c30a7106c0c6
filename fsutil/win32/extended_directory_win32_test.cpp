#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fsutil/extended_directory.h"
#include "platform/file_time.h"
#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "platform/win32/win32_directory_search.h"
#include "runtime/directory_functions.h"
#include "runtime/international.h"
#include "runtime/runtime.h"
#include "runtime/runtime_state.h"

// Windows headers come last: their macros would rename the portable names above.
#include <windows.h>
#undef CreateDialog

namespace qef {
namespace {

// A fresh folder under the user's temporary folder, removed with its files and folders.
class Win32ListingFolder {
 public:
  Win32ListingFolder() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    for (int attempt = 0; attempt < 1000 && path_.empty(); ++attempt) {
      std::string candidate = std::string(base) + "qef-ls-" +
                              std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
      if (CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate;
    }
  }
  ~Win32ListingFolder() {
    ::WIN32_FIND_DATAA found;
    ::HANDLE search = ::FindFirstFileA((path_ + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        SetFileAttributesA(Path(found.cFileName).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(Path(found.cFileName).c_str());
        RemoveDirectoryA(Path(found.cFileName).c_str());
      } while (::FindNextFileA(search, &found));
      ::FindClose(search);
    }
    RemoveDirectoryA(path_.c_str());
  }
  const std::string& path() const { return path_; }
  std::string Path(const std::string& name) const { return path_ + "\\" + name; }

  void Put(const std::string& name, uint32_t attributes = 0) const {
    ::HANDLE file = CreateFileA(Path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ::DWORD written = 0;
    WriteFile(file, "abc", 3, &written, nullptr);
    CloseHandle(file);
    if (attributes != 0) SetFileAttributesA(Path(name).c_str(), attributes);
  }

 private:
  std::string path_;
};

class Win32ListingTest : public ::testing::Test {
 protected:
  Win32ListingTest() : runtime_(files_, settings_, ui_) {
    runtime_.runtime().state().directory_search = &search_;
    folder_.Put("plain.txt");
    folder_.Put("readonly.txt", FILE_ATTRIBUTE_READONLY);
    folder_.Put("hidden.txt", FILE_ATTRIBUTE_HIDDEN);
    folder_.Put("hiddenro.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    CreateDirectoryA(folder_.Path("sub").c_str(), nullptr);
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
  Win32DirectorySearch search_;
  Win32ListingFolder folder_;
};

// Windows' own order is the file system's; compared as sets where it may differ.
std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(Win32ListingTest, FiltersRealEntries) {
  ASSERT_FALSE(folder_.path().empty());
  const std::vector<std::string> plain = {"plain.txt", "readonly.txt"};
  const std::vector<std::string> dirs = {".", "..", "plain.txt", "readonly.txt", "sub"};
  const struct {
    const char* pattern;
    Usual filter;
    std::vector<std::string> names;
  } cases[] = {
      {"*", Usual(), plain},
      {"*", Usual::String("ARV"), plain},
      {"*", Usual::String("D"), dirs},
      {"*", Usual::String("d"), dirs},
      {"*", Usual::Dword(0x10), dirs},
      {"*", Usual::String("H"), {"hidden.txt", "hiddenro.txt", "plain.txt", "readonly.txt"}},
      {"*",
       Usual::Dword(0xD16),
       {".", "..", "hidden.txt", "hiddenro.txt", "plain.txt", "readonly.txt", "sub"}},
      {"*.TXT", Usual(), plain},
      {"?lain.*", Usual(), {"plain.txt"}},
      {"nothing*", Usual::Dword(0xD16), {}},
      {"missing\\*", Usual::Dword(0xD16), {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sorted(Names(c.pattern, c.filter)), Sorted(c.names))
        << c.pattern << " " << AsString(c.filter);
  }
}

TEST_F(Win32ListingTest, AttributesOfRealEntries) {
  const struct {
    const char* name;
    const char* letters;
    uint32_t bits;
  } cases[] = {
      {"plain.txt", "A", 0x20},      {"readonly.txt", "AR", 0x21}, {"hidden.txt", "AH", 0x22},
      {"hiddenro.txt", "AHR", 0x23}, {"sub", "D", 0x10},
  };
  for (const auto& c : cases) {
    Array row = Row(c.name);
    EXPECT_EQ(row[kRowAttributes - 1].AsText(), c.letters) << c.name;
    EXPECT_EQ(row[kRowAttributeBits - 1].AsDword(), c.bits) << c.name;
  }
  // A name that fits the 8.3 form has no short name of its own.
  EXPECT_EQ(Row("plain.txt")[kRowShortName - 1].AsText(), "plain.txt");
  EXPECT_EQ(Row("plain.txt")[kRowSize - 1].AsUint64(), 3u);
}

TEST_F(Win32ListingTest, SparseFileOfFourGibibytes) {
  const std::string path = folder_.Path("big.bin");
  ::HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = 4294967296LL;
  const bool made = SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  // Wine extends the file with the host's ftruncate: it must stay sparse. The allocation size
  // tells (GetCompressedFileSize reports the length under Wine).
  FILE_STANDARD_INFO info{};
  const bool known =
      made && GetFileInformationByHandleEx(file, FileStandardInfo, &info, sizeof info);
  CloseHandle(file);
  if (!made) GTEST_SKIP() << "the disk of this Windows cannot hold a 4 GiB file";
  ASSERT_TRUE(known);
  EXPECT_LT(info.AllocationSize.QuadPart, 1LL << 20) << "the 4 GiB file really takes disk space";
  EXPECT_EQ(Row("big.bin")[kRowSize - 1].AsUint64(), 4294967296u);
}

TEST_F(Win32ListingTest, LastWriteAtLocalTime) {
  SetDateFrmt("YYYY-MM-DD");
  SetCentury(true);
  SetTimeSep(':');
  SetAmPm(false);
  folder_.Put("time.txt");
  // 13:05:09.999 local time on two dates, moved to UTC by Windows' own inverse conversion.
  for (::WORD month : {1, 7}) {
    ::SYSTEMTIME local{2021, month, 0, 15, 13, 5, 9, 999};
    ::FILETIME local_file_time;
    ::FILETIME utc;
    ASSERT_TRUE(SystemTimeToFileTime(&local, &local_file_time));
    ASSERT_TRUE(LocalFileTimeToFileTime(&local_file_time, &utc));
    ::HANDLE file = CreateFileA(folder_.Path("time.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &utc));
    CloseHandle(file);
    Array row = Row("time.txt");
    EXPECT_EQ(AsString(row[kRowWriteDate - 1]), month == 1 ? "2021-01-15" : "2021-07-15");
    EXPECT_EQ(row[kRowWriteTime - 1].AsText(), "13:05:09");
    EXPECT_EQ(row[kRowWriteSeconds - 1].AsLong(), 47109);
  }
}

TEST(Win32FileTimeTest, OurCalendarArithmeticAgreesWithWindows) {
  Win32DirectorySearch search;
  for (uint64_t ticks :
       {uint64_t{0}, uint64_t{116444736000000000}, uint64_t{125912447999990000},
        uint64_t{133542831090000000}, uint64_t{0x7FFFFFFFFFFFFFFF}, uint64_t{1} << 63}) {
    const FILETIME time = MakeFileTime(ticks);
    SYSTEMTIME ours{};
    SYSTEMTIME windows{};
    const bool ours_ok = FileTimeToCalendar(time, &ours);
    ASSERT_EQ(search.FileTimeToSystemTime(&time, &windows), ours_ok) << ticks;
    if (!ours_ok) continue;
    EXPECT_EQ(ours.wYear, windows.wYear) << ticks;
    EXPECT_EQ(ours.wMonth, windows.wMonth) << ticks;
    EXPECT_EQ(ours.wDayOfWeek, windows.wDayOfWeek) << ticks;
    EXPECT_EQ(ours.wDay, windows.wDay) << ticks;
    EXPECT_EQ(ours.wHour, windows.wHour) << ticks;
    EXPECT_EQ(ours.wMinute, windows.wMinute) << ticks;
    EXPECT_EQ(ours.wSecond, windows.wSecond) << ticks;
    EXPECT_EQ(ours.wMilliseconds, windows.wMilliseconds) << ticks;
  }
}

}  // namespace
}  // namespace qef
