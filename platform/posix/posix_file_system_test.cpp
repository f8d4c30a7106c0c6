#include "platform/posix/posix_file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/posix_file_kinds.h"
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
  // Without the kernel's copy and without views: the fall-backs keep the same contract.
  explicit PosixTestBackend(bool system_help = true) {
    files_.kernel_copy = system_help;
    files_.views = system_help;
  }
  FileSystem& files() override { return files_; }
  bool HasViews() const override { return files_.views; }
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

INSTANTIATE_TEST_SUITE_P(
    Posix, FileFunctionsTest,
    testing::Values(FileBackendParam{"Posix",
                                     []() -> std::unique_ptr<FileTestBackend> {
                                       return std::make_unique<PosixTestBackend>();
                                     }},
                    FileBackendParam{"PosixWithoutSystemHelp",
                                     []() -> std::unique_ptr<FileTestBackend> {
                                       return std::make_unique<PosixTestBackend>(false);
                                     }}),
    FileBackendName);

class PosixFileSystemTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.path().empty());
    files_.views = true;  // off unless asked; these tests look at the mapping itself
  }

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

// Identity follows the file system, not the text: a link to the folder, a link to the file
// and ".." through a link all lead where the kernel says.
TEST_F(PosixFileSystemTest, IdentityComesFromTheFileSystemNotFromThePathText) {
  folder_.Put("App.fix", "copy");
  ASSERT_EQ(::mkdir(folder_.Path("sub").c_str(), 0700), 0);
  ASSERT_EQ(::mkdir(folder_.Path("other").c_str(), 0700), 0);
  ASSERT_EQ(::mkdir(folder_.Path("other/sub").c_str(), 0700), 0);
  folder_.Put("other/x", "");
  ASSERT_EQ(::symlink(".", folder_.Path("alias").c_str()), 0);
  ASSERT_EQ(::symlink("App.fix", folder_.Path("Link.AEF").c_str()), 0);
  ASSERT_EQ(::symlink("other/sub", folder_.Path("sl").c_str()), 0);
  auto entry = [&](const std::string& name) { return files_.IdentifyEntry(folder_.Path(name)); };
  auto file = [&](const std::string& name) { return files_.IdentifyFile(folder_.Path(name)); };

  ASSERT_TRUE(entry("App.fix"));
  EXPECT_EQ(entry("alias/App.fix"), entry("App.fix"));
  EXPECT_EQ(entry("sub/../App.fix"), entry("App.fix"));
  EXPECT_NE(entry("sl/../App.fix"), entry("App.fix")) << "sl/.. is other, not this folder";
  EXPECT_EQ(entry("sl/../App.fix"), entry("other/App.fix"));
  EXPECT_NE(entry("App.fix2"), entry("App.fix"));
  EXPECT_NE(entry("app.fix"), entry("App.fix"));
  EXPECT_TRUE(entry("not yet.fix")) << "an entry need not exist";
  EXPECT_FALSE(entry("missing/App.fix"));
  EXPECT_FALSE(entry("made later/App.fix"));
  ASSERT_EQ(::mkdir(folder_.Path("made later").c_str(), 0700), 0);
  EXPECT_TRUE(entry("made later/App.fix")) << "a folder made since is found";

  EXPECT_EQ(file("Link.AEF"), file("App.fix"));
  EXPECT_NE(file("other/x"), file("App.fix"));
  EXPECT_FALSE(file("missing"));
}

TEST_F(PosixFileSystemTest, SpansGoThroughTheKernelOnlyWhenAllowed) {
  std::string content(3 << 20, 'k');
  for (size_t i = 0; i < content.size(); i += 4093) content[i] = static_cast<char>(i);
  folder_.Put("in", content);
  for (bool kernel : {true, false}) {
    SCOPED_TRACE(kernel);
    files_.kernel_copy = kernel;
    files_.kernel_copied = 0;
    auto in = files_.Open(folder_.Path("in"), FileAccess::kRead);
    auto out = files_.Create(folder_.Path("out"), CreateMode::kTruncate);
    ASSERT_TRUE(in && out);
    ASSERT_TRUE(out->Write("x", 1));
    SpanCopy copy = out->CopyFrom(*in, 1, content.size());
    EXPECT_EQ(copy.copied, content.size() - 1);
    EXPECT_FALSE(copy.read_failed || copy.write_failed);
    EXPECT_EQ(in->Seek(0, SeekOrigin::kCurrent), 0);
    EXPECT_TRUE(out->Close());
    EXPECT_EQ(folder_.Get("out"), "x" + content.substr(1));
    EXPECT_EQ(files_.kernel_copied > 0, kernel);
  }
}

TEST_F(PosixFileSystemTest, ReadAtLeavesThePositionAndStopsAtTheEnd) {
  folder_.Put("in", "0123456789");
  auto in = files_.Open(folder_.Path("in"), FileAccess::kRead);
  ASSERT_TRUE(in && in->ReadsAt());
  char first[2];
  ASSERT_EQ(in->Read(first, 2), 2);
  struct Case {
    int64_t offset;
    size_t count;
    int64_t got;  // -1: a failure
    const char* bytes;
  };
  for (const Case& c : {Case{0, 4, 4, "0123"}, Case{7, 8, 3, "789"}, Case{10, 4, 0, ""},
                        Case{25, 4, 0, ""}, Case{-1, 4, -1, ""}}) {
    SCOPED_TRACE(c.offset);
    char buffer[8] = {};
    ASSERT_EQ(in->ReadAt(c.offset, buffer, c.count), c.got);
    EXPECT_EQ(std::string(buffer, std::max<int64_t>(c.got, 0)), c.bytes);
    EXPECT_EQ(in->Seek(0, SeekOrigin::kCurrent), 2);
  }
}

TEST_F(PosixFileSystemTest, ViewStopsWhereTheFileEndsNowAfterACut) {
  folder_.Put("in", std::string(100000, 'v'));
  auto in = files_.Open(folder_.Path("in"), FileAccess::kRead);
  ASSERT_TRUE(in);
  ASSERT_EQ(::truncate(folder_.Path("in").c_str(), 5000), 0);
  auto view = in->View(4096, 65536);
  ASSERT_TRUE(view);
  EXPECT_EQ(std::string(view->data(), view->size()), std::string(5000 - 4096, 'v'));
}

TEST_F(PosixFileSystemTest, ViewOfAFileCutUnderItReadsZerosAndSaysSo) {
  folder_.Put("in", std::string(3 * 4096, 'v'));
  auto in = files_.Open(folder_.Path("in"), FileAccess::kRead);
  ASSERT_TRUE(in);
  auto view = in->View(0, 3 * 4096);
  ASSERT_TRUE(view);
  EXPECT_TRUE(view->Intact());
  ASSERT_EQ(::truncate(folder_.Path("in").c_str(), 100), 0);
  EXPECT_EQ(view->data()[50], 'v');
  EXPECT_EQ(view->data()[2 * 4096 + 5], '\0');  // would end the program unguarded
  EXPECT_FALSE(view->Intact());
  auto next = in->View(0, 4096);
  ASSERT_TRUE(next);
  EXPECT_TRUE(next->Intact());
  EXPECT_EQ(next->size(), 100u);
}

// The claim on a temporary name outlives the file's close, for the complete copy waits under
// the name until it is renamed; then the name is free again.
TEST_F(PosixFileSystemTest, ClaimOnATemporaryNameLastsFromCloseUntilRename) {
  std::string path = folder_.Path("out.fix.partial");
  std::unique_ptr<File> file = files_.Create(path, CreateMode::kTemporary);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(file->Write("copy", 4));
  file.reset();
  PosixFileSystem other_run;
  EXPECT_EQ(other_run.Create(path, CreateMode::kTemporary), nullptr);
  EXPECT_EQ(folder_.Get("out.fix.partial"), "copy");
  ASSERT_TRUE(files_.Rename(path, folder_.Path("out.fix")));
  EXPECT_NE(other_run.Create(path, CreateMode::kTemporary), nullptr);
}

// Every byte of a block can be written, whatever its size against the large page; a block given
// back serves the next request it is large enough for.
TEST_F(PosixFileSystemTest, BlockMemoryHoldsItsSizeAndIsKeptForTheNextBlock) {
  for (size_t size :
       {size_t{1}, size_t{4096}, size_t{2} << 20, (size_t{2} << 20) + 1, size_t{5} << 20}) {
    SCOPED_TRACE(size);
    std::unique_ptr<BlockMemory> block = files_.NewBlockMemory(size);
    ASSERT_NE(block, nullptr);
    std::memset(block->data(), 0x5A, size);
    EXPECT_EQ(block->data()[size - 1], 0x5A);
  }
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "blocks come from the heap under AddressSanitizer";
#endif
  // A block the system maps anew is all zeros; the one given back still holds its bytes.
  std::memset(files_.NewBlockMemory(2000)->data(), 0x5A, 2000);
  std::unique_ptr<BlockMemory> next = files_.NewBlockMemory(2000);
  EXPECT_EQ(next->data()[1999], 0x5A);
  std::unique_ptr<BlockMemory> meanwhile = files_.NewBlockMemory(2000);
  EXPECT_EQ(meanwhile->data()[1999], 0);
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
