// Faults of Windows' own during a repair run: files held open by another program with a sharing
// mode that excludes ours, and an output folder that cannot be written. Another program is a
// real second process (hold_file, built beside this test).

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "exportfile/export_file.h"
#include "exportfile/process_ef.h"
#include "exportfile/testing/records.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "platform/win32/win32_file_system.h"
#include "progress/win_progress.h"
#include "runtime/runtime.h"
#include "tools/tool_files.h"

// Windows headers come last: their macros would rename the portable names above.
#include <windows.h>

#include "platform/win32/win32_test_folder.h"

namespace qef {
namespace {

using testing::HeaderRecord;
using testing::Record;

std::string HelperPath() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string own(path, length);
  return own.substr(0, own.find_last_of("\\/") + 1) + "hold_file.exe";
}

// A file held open by another process with the given sharing, for the object's lifetime.
class HeldFile {
 public:
  HeldFile(const std::string& path, const char* sharing) {
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE child_in = nullptr;
    HANDLE child_out = nullptr;
    if (!CreatePipe(&child_in, &in_, &inherited, 0)) return;
    if (!CreatePipe(&out_, &child_out, &inherited, 0)) return;
    SetHandleInformation(in_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(out_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = child_in;
    startup.hStdOutput = child_out;
    startup.hStdError = child_out;
    std::string command = "\"" + HelperPath() + "\" \"" + path + "\" " + sharing;
    started_ = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                              &startup, &process_) != 0;
    CloseHandle(child_in);
    CloseHandle(child_out);
    if (!started_) return;
    char c;
    DWORD got = 0;
    while (ReadFile(out_, &c, 1, &got, nullptr) && got == 1 && c != '\n') {
      if (c != '\r') word_ += c;  // the helper's output is text: lines end in CR LF
    }
  }
  ~HeldFile() {
    if (in_ != nullptr) CloseHandle(in_);  // the helper's input ends: it closes the file
    if (started_) {
      WaitForSingleObject(process_.hProcess, 30000);
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
    if (out_ != nullptr) CloseHandle(out_);
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  // "held" once the helper has the file open; otherwise what it said.
  const std::string& word() const { return word_; }

 private:
  HANDLE in_ = nullptr;
  HANDLE out_ = nullptr;
  bool started_ = false;
  PROCESS_INFORMATION process_ = {};
  std::string word_;
};

struct RunResult {
  uint32_t completed = 0;
  std::string box;  // the first warning's text
};

RunResult Repair(const std::string& path) {
  Win32FileSystem files;
  HeadlessSettings settings;
  HeadlessUi ui;
  ScopedRuntime runtime(files, settings, ui);
  RunResult result;
  {
    WinProgress win;
    result.completed = ProcessEF({path}, win);
  }
  if (!ui.boxes.empty()) result.box = ui.boxes[0].text;
  return result;
}

// An input whose repaired copy differs from it.
const std::string kInput = HeaderRecord() + Record(AEF_REC_APPNAME, "a:b") + Record(0x41, "zz");

bool AnyTemporaryIn(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*.partial*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

class ProcessEFWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.path().empty());
    folder_.Put("in.AEF", kInput);
    folder_.Put("in.fix", "earlier copy");
  }

  void ExpectNothingLost(const RunResult& result, const std::string& message) {
    EXPECT_EQ(result.completed, 0u);
    EXPECT_EQ(result.box, message);
    EXPECT_EQ(folder_.Get("in.AEF"), kInput);
    EXPECT_EQ(folder_.Get("in.fix"), "earlier copy");
    EXPECT_FALSE(AnyTemporaryIn(folder_.path()));
  }

  // Repairs in.AEF while a second program holds `name` open with the sharing `mode` gives.
  RunResult RepairWhileHeld(const std::string& name, const char* mode) {
    HeldFile held(folder_.Path(name), mode);
    EXPECT_EQ(held.word(), "held");
    if (held.word() != "held") return {};
    return Repair(folder_.Path("in.AEF"));
  }

  Win32TestFolder folder_;
};

TEST_F(ProcessEFWin32Test, InputHeldWithoutReadSharingCannotBeRead) {
  RunResult result = RepairWhileHeld("in.AEF", "wd");
  if (HasFailure()) return;
  ExpectNothingLost(result, "Error reading " + folder_.Path("in.AEF"));
}

TEST_F(ProcessEFWin32Test, EarlierCopyHeldWithoutDeleteSharingIsNotReplaced) {
  RunResult result = RepairWhileHeld("in.fix", "rw");
  if (HasFailure()) return;
  ExpectNothingLost(result, "Could not create " + folder_.Path("in.fix"));
}

TEST_F(ProcessEFWin32Test, AnInputHeldWithReadSharingIsRepaired) {
  RunResult result = RepairWhileHeld("in.AEF", "rw");
  if (HasFailure()) return;
  EXPECT_EQ(result.completed, 1u);
  EXPECT_EQ(result.box, "");
  EXPECT_EQ(folder_.Get("in.AEF"), kInput);
  EXPECT_EQ(folder_.Get("in.fix"),
            HeaderRecord() + Record(AEF_REC_APPNAME, "a-b") + Record(0x41, "zz"));
}

// The copy's name is a hard link to the input: found only when the copy is renamed into place
// (looking for a missing copy first would read the whole folder under Wine), and then the input
// is not replaced by its own copy.
TEST_F(ProcessEFWin32Test, AnInputThatIsItsOwnCopyThroughAHardLinkIsKept) {
  ASSERT_TRUE(DeleteFileA(folder_.Path("in.fix").c_str()));
  ASSERT_TRUE(
      CreateHardLinkA(folder_.Path("in.fix").c_str(), folder_.Path("in.AEF").c_str(), nullptr));
  RunResult result = Repair(folder_.Path("in.AEF"));
  EXPECT_EQ(result.completed, 0u);
  EXPECT_EQ(result.box, folder_.Path("in.AEF") + " is the same file as its repaired copy " +
                            folder_.Path("in.fix") +
                            ", which would replace it, so it is not processed");
  EXPECT_EQ(folder_.Get("in.AEF"), kInput);
  EXPECT_EQ(folder_.Get("in.fix"), kInput);
  EXPECT_FALSE(AnyTemporaryIn(folder_.path()));
}

// The folder is prepared by the build machine (locked_folder.sh) and named in QEF_LOCKED_FOLDER by
// its path there, which Wine shows on drive Z:.
TEST(ProcessEFWin32LockedFolderTest, OutputFolderNotWritable) {
  const char* unix_folder = std::getenv("QEF_LOCKED_FOLDER");
  if (unix_folder == nullptr || *unix_folder == '\0') {
    GTEST_SKIP() << "QEF_LOCKED_FOLDER is not set: run through ctest";
  }
  std::string folder = std::string("Z:") + unix_folder;
  for (char& c : folder) c = c == '/' ? '\\' : c;
  const std::string probe = folder + "\\probe";
  HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    DeleteFileA(probe.c_str());
    GTEST_SKIP() << "the folder could not be locked on this machine";
  }
  const std::optional<std::string> input = ReadWholeFile(folder + "\\in.AEF");
  ASSERT_TRUE(input.has_value());
  RunResult result = Repair(folder + "\\in.AEF");
  EXPECT_EQ(result.completed, 0u);
  EXPECT_EQ(result.box, "Could not create " + folder + "\\in.fix");
  EXPECT_EQ(ReadWholeFile(folder + "\\in.AEF"), input);
  EXPECT_EQ(ReadWholeFile(folder + "\\in.fix"), "earlier copy");
  EXPECT_FALSE(AnyTemporaryIn(folder));
}

}  // namespace
}  // namespace qef
