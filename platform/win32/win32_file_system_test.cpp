#include "platform/win32/win32_file_system.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/win32/win32_registry_settings.h"
#include "platform/win32/win32_ui.h"
#include "runtime/file_functions_test.h"

// Windows headers come last: their macros would rename the portable names above.
#include <windows.h>

#include "platform/win32/win32_test_folder.h"

namespace qef {
namespace {

class Win32TestBackend : public FileTestBackend {
 public:
  FileSystem& files() override { return files_; }
  std::string Path(const std::string& name) const override { return folder_.Path(name); }
  void Put(const std::string& name, const std::string& content) override {
    folder_.Put(name, content);
  }
  std::optional<std::string> Get(const std::string& name) const override {
    return folder_.Get(name);
  }
  bool HasViews() const override { return false; }

 private:
  Win32TestFolder folder_;
  Win32FileSystem files_;
};

INSTANTIATE_TEST_SUITE_P(Win32, FileFunctionsTest,
                         testing::Values(FileBackendParam{
                             "Win32",
                             []() -> std::unique_ptr<FileTestBackend> {
                               return std::make_unique<Win32TestBackend>();
                             }}),
                         FileBackendName);

// Folder entries compare as Windows compares names: by the folder's volume and file index and
// the name without regard to letter case; files by their volume and index.
TEST(Win32FileSystemTest, IdentityComesFromTheFileSystemNotFromThePathText) {
  Win32TestBackend backend;
  backend.Put("App.fix", "copy");
  backend.Put("Other.fix", "other");
  ASSERT_TRUE(CreateDirectoryA(backend.Path("sub").c_str(), nullptr));
  const FileSystem& files = backend.files();
  auto entry = [&](const std::string& name) { return files.IdentifyEntry(backend.Path(name)); };
  auto file = [&](const std::string& name) { return files.IdentifyFile(backend.Path(name)); };
  ASSERT_TRUE(entry("App.fix"));
  EXPECT_EQ(entry("APP.FIX"), entry("App.fix"));
  EXPECT_EQ(entry("sub\\..\\App.fix"), entry("App.fix"));
  EXPECT_EQ(entry("sub/../app.fix"), entry("App.fix"));
  EXPECT_NE(entry("App.fix2"), entry("App.fix"));
  // Folders are identified once and then looked up: another folder never takes their place.
  EXPECT_NE(entry("sub\\App.fix"), entry("App.fix"));
  EXPECT_EQ(entry("SUB\\app.fix"), entry("sub/App.fix"));
  EXPECT_TRUE(entry("not yet.fix"));
  ASSERT_TRUE(file("App.fix"));
  EXPECT_EQ(file("app.FIX"), file("App.fix"));
  EXPECT_NE(file("Other.fix"), file("App.fix"));
  EXPECT_FALSE(file("missing"));
  EXPECT_EQ(files.PathSeparators(), "\\/");

  // The quick comparison by index agrees with the identities.
  ASSERT_TRUE(
      CreateHardLinkA(backend.Path("Link.AEF").c_str(), backend.Path("App.fix").c_str(), nullptr));
  auto same = [&](const std::string& a, const std::string& b) {
    return files.SameFile(backend.Path(a), backend.Path(b));
  };
  EXPECT_TRUE(same("Link.AEF", "App.fix"));
  EXPECT_TRUE(same("sub\\..\\APP.FIX", "App.fix"));
  EXPECT_FALSE(same("Other.fix", "App.fix"));
  EXPECT_FALSE(same("missing", "App.fix"));
  EXPECT_FALSE(same("App.fix", "missing"));
}

TEST(Win32FileSystemTest, RenameReplacesAndFoldersDoNotOpen) {
  Win32TestBackend backend;
  backend.Put("new", "new copy");
  backend.Put("old", "earlier copy");
  Win32FileSystem& files = static_cast<Win32FileSystem&>(backend.files());
  EXPECT_TRUE(files.Rename(backend.Path("new"), backend.Path("old")));
  EXPECT_EQ(backend.Get("old"), "new copy");
  EXPECT_FALSE(backend.Get("new").has_value());
  EXPECT_EQ(files.Open(backend.Path(""), FileAccess::kRead), nullptr);
  EXPECT_NE(files.LastError(), 0);
  EXPECT_EQ(files.Create(backend.Path("old"), CreateMode::kNew), nullptr);

  // Into a free name only: a file of that name in any letter case stays, and so does the source.
  backend.Put("newer", "newer copy");
  EXPECT_FALSE(files.RenameIfFree(backend.Path("newer"), backend.Path("OLD")));
  EXPECT_EQ(backend.Get("old"), "new copy");
  EXPECT_EQ(backend.Get("newer"), "newer copy");
  EXPECT_TRUE(files.RenameIfFree(backend.Path("newer"), backend.Path("free")));
  EXPECT_EQ(backend.Get("free"), "newer copy");
  EXPECT_FALSE(backend.Get("newer").has_value());
}

TEST(Win32FileSystemTest, OpenForReadingRefusesWhatIsNoDiskFile) {
  // A pipe with a server that never writes: reading it would wait forever.
  const std::string pipe = "\\\\.\\pipe\\qef-test-" + std::to_string(GetCurrentProcessId());
  HANDLE server =
      CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 4, 512, 512, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  Win32TestFolder folder;
  Win32FileSystem files;
  for (const std::string& path : {pipe, std::string("NUL"), folder.path()}) {
    for (FileAccess access : {FileAccess::kRead, FileAccess::kReadWrite}) {
      SCOPED_TRACE(path);
      EXPECT_EQ(files.Open(path, access), nullptr);
      EXPECT_NE(files.LastError(), 0);
    }
  }
  // Written only, a device still takes the bytes (an error log sent to NUL).
  EXPECT_NE(files.Open("NUL", FileAccess::kWrite), nullptr);
  CloseHandle(server);
}

TEST(Win32RegistrySettingsTest, ReadsStringValuesByteForByte) {
  const std::string root = "Software\\Quillon Test " + std::to_string(GetCurrentProcessId());
  const std::string sub_key = "Quillon Pack 2\\Export Fix";
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (root + "\\" + sub_key).c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const std::string bad = ":/\\*\"'?|<> \xE9";
  RegSetValueExA(key, "Bad", 0, REG_SZ, reinterpret_cast<const BYTE*>(bad.c_str()),
                 static_cast<DWORD>(bad.size() + 1));
  DWORD number = 7;
  RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                 sizeof number);
  RegCloseKey(key);

  Win32RegistrySettings settings(root);
  EXPECT_EQ(settings.Query(sub_key, "Bad"), bad);
  EXPECT_EQ(settings.Query(sub_key, "bad"), bad) << "value names ignore letter case";
  EXPECT_EQ(settings.Query(sub_key, "Good"), std::nullopt);
  EXPECT_EQ(settings.Query(sub_key, "Number"), std::nullopt) << "not a string";
  EXPECT_EQ(settings.Query("Elsewhere", "Bad"), std::nullopt);
  EXPECT_EQ(settings.QueryStringOrNumber(sub_key, "Number"), "7") << "asked for a number";
  EXPECT_EQ(settings.QueryStringOrNumber(sub_key, "Bad"), bad);
  EXPECT_EQ(settings.QueryStringOrNumber(sub_key, "Good"), std::nullopt);
  RegDeleteTreeA(HKEY_CURRENT_USER, root.c_str());
}

TEST(Win32UiTest, OpenDialogResultsBecomeFullPathsInTheDialogsOrder) {
  struct Case {
    std::string buffer;  // as the dialog leaves it, with its zero bytes
    bool several;
    std::vector<std::string> paths;
  } cases[] = {
      {std::string("C:\\Work\\App.AEF\0\0", 17), true, {"C:\\Work\\App.AEF"}},
      {std::string("C:\\Work\0b.AEF\0a.MEF\0\0", 22), true, {"C:\\Work\\b.AEF", "C:\\Work\\a.MEF"}},
      {std::string("C:\\\0x.AEF\0y.AEF\0\0", 18), true, {"C:\\x.AEF", "C:\\y.AEF"}},
      {std::string("C:\\Work\\One.AEF\0\0", 17), false, {"C:\\Work\\One.AEF"}},
      {std::string("\0\0", 2), true, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(OpenDialogPaths(c.buffer.data(), c.several), c.paths);
}

TEST(Win32UiTest, BoxRepliesAreTheLibrarysOwn) {
  EXPECT_EQ(BoxReplyFor(IDOK), BOXREPLYOK);
  EXPECT_EQ(BoxReplyFor(IDOK), 4);
  EXPECT_EQ(BoxReplyFor(IDCANCEL), BOXREPLYCANCEL);
  EXPECT_NE(BoxReplyFor(IDCANCEL), 4);
}

}  // namespace
}  // namespace qef
