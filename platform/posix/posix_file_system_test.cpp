#include "platform/posix/posix_file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/posix/posix_special_files.h"
#include "platform/posix/posix_test_folder.h"
#include "runtime/file_functions_test.h"

namespace qef {
namespace {

std::string CurrentFolder() {
  std::vector<char> cwd(4096);
  return ::getcwd(cwd.data(), cwd.size()) != nullptr ? std::string(cwd.data()) : std::string();
}

class PosixTestBackend : public FileTestBackend {
 public:
  FileSystem& files() override { return files_; }
  std::string Path(const std::string& name) const override { return folder_.Path(name); }
  void Put(const std::string& name, const std::string& content) override {
    folder_.Put(name, content);
  }
  std::optional<std::string> Get(const std::string& name) const override {
    return folder_.Get(name);
  }

 private:
  PosixTestFolder folder_;
  PosixFileSystem files_;
};

INSTANTIATE_TEST_SUITE_P(Posix, FileFunctionsTest,
                         testing::Values(FileBackendParam{
                             "Posix",
                             []() -> std::unique_ptr<FileTestBackend> {
                               return std::make_unique<PosixTestBackend>();
                             }}),
                         FileBackendName);

class PosixFileSystemTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(folder_.path().empty()); }

  PosixTestFolder folder_;
  PosixFileSystem files_;
};

TEST_F(PosixFileSystemTest, OpenOfAFolderFails) {
  for (FileAccess access : {FileAccess::kRead, FileAccess::kWrite, FileAccess::kReadWrite}) {
    SCOPED_TRACE(static_cast<int>(access));
    EXPECT_EQ(files_.Open(folder_.path(), access), nullptr);
    EXPECT_NE(files_.LastError(), 0);
  }
}

// A hang here would be the fault itself: the alarm ends the test program instead.
class AlarmGuard {
 public:
  AlarmGuard() { ::alarm(20); }
  ~AlarmGuard() { ::alarm(0); }
};

TEST_F(PosixFileSystemTest, OpenForReadingRefusesWhatIsNoRegularFileWithoutWaiting) {
  AlarmGuard guard;
  std::vector<SpecialFile> specials = MakeSpecialFiles(folder_.path());
  ASSERT_EQ(specials.size(), kSpecialFileKinds);
  for (const SpecialFile& special : specials) {
    for (FileAccess access : {FileAccess::kRead, FileAccess::kReadWrite}) {
      SCOPED_TRACE(std::string(special.kind) + (access == FileAccess::kRead ? " read" : " both"));
      EXPECT_EQ(files_.Open(special.path, access), nullptr);
      EXPECT_NE(files_.LastError(), 0);
    }
  }
}

TEST_F(PosixFileSystemTest, WritingToAFifoWithoutReaderFailsWithoutWaiting) {
  AlarmGuard guard;
  std::string fifo = folder_.Path("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(files_.Open(fifo, FileAccess::kWrite), nullptr);
  EXPECT_EQ(files_.Create(fifo, CreateMode::kTruncate), nullptr);
  EXPECT_NE(files_.LastError(), 0);
}

TEST_F(PosixFileSystemTest, ADeviceCanStillBeWritten) {
  std::unique_ptr<File> sink = files_.Open("/dev/null", FileAccess::kWrite);
  ASSERT_NE(sink, nullptr);
  EXPECT_TRUE(sink->Write("log", 3));
}

TEST_F(PosixFileSystemTest, RenameReplacesAnExistingFile) {
  folder_.Put("new", "fresh");
  folder_.Put("old", "stale content");
  EXPECT_TRUE(files_.Rename(folder_.Path("new"), folder_.Path("old")));
  EXPECT_EQ(files_.LastError(), 0);
  EXPECT_EQ(folder_.Get("old"), "fresh");
  EXPECT_EQ(folder_.Get("new"), std::nullopt);
}

TEST_F(PosixFileSystemTest, SameNameComparesResolvedPaths) {
  std::string absolute = CurrentFolder() + "/b/x";
  struct Case {
    std::string a;
    std::string b;
    bool same;
  };
  const Case cases[] = {
      {"a/../b/x", "b/./x", true},  {"b/./x", absolute, true},
      {"a/../b/x", absolute, true}, {"b//x", "b/x", true},
      {"b/x", "b/y", false},        {"b/x", "B/x", false},
      {"a/b/x", "b/x", false},      {"/b/x", "b/x", CurrentFolder() == "/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.a + " vs " + c.b);
    EXPECT_EQ(files_.SameName(c.a, c.b), c.same);
  }
}

TEST(AbsolutePosixPathTest, ResolvesDotsAndRepeatedSlashesByText) {
  const std::string cwd = CurrentFolder();
  ASSERT_FALSE(cwd.empty());
  struct Case {
    std::string path;
    std::string expected;
  };
  const Case cases[] = {
      {"/", "/"},
      {"/a/b", "/a/b"},
      {"//a///b/", "/a/b"},
      {"/a/./b/../c", "/a/c"},
      {"/..", "/"},
      {"/a/../../b", "/b"},
      {"/a/..", "/"},
      {"/a/.../b", "/a/.../b"},
      {"/a/..b", "/a/..b"},
      {"x/y", cwd == "/" ? "/x/y" : cwd + "/x/y"},
      {"./x", cwd == "/" ? "/x" : cwd + "/x"},
      {".", cwd},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AbsolutePosixPath(c.path), c.expected) << c.path;
  }
}

}  // namespace
}  // namespace qef
