#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "platform/headless/headless_settings.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_terminal_ui.h"
#include "platform/posix/posix_test_folder.h"
#include "runtime/error_block.h"
#include "runtime/file_text.h"
#include "runtime/runtime.h"

namespace qef {
namespace {

// Runs the terminal's error box with scripted input and returns its reply and output.
std::pair<int, std::string> ScriptedErrorBox(const std::string& input, uint32_t first,
                                             uint32_t retry, uint32_t flags) {
  int fds[2];
  EXPECT_EQ(::pipe(fds), 0);
  (void)!::write(fds[1], input.data(), input.size());
  ::close(fds[1]);
  std::FILE* out = std::tmpfile();
  volatile std::sig_atomic_t interrupted = 0;
  int reply;
  {
    PosixTerminalUi ui(fds[0], out, false, &interrupted);
    reply = ui.ErrorMessageBox("Error Code:  5 [ ZERO DIVISOR ]\r\n", "ERROR", first, retry, flags);
  }
  ::close(fds[0]);
  std::fflush(out);
  std::rewind(out);
  std::string text;
  for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
  std::fclose(out);
  return {reply, text};
}

TEST(PosixTerminalErrorBoxTest, TakesTheOfferedChoicesAsLines) {
  struct Case {
    const char* input;
    uint32_t first;
    uint32_t retry;
    int reply;
  } cases[] = {
      {"continue\n", 1, 2, ERRORBOX_FIRST}, {"c\n", 1, 0, ERRORBOX_FIRST},
      {"retry\n", 1, 2, ERRORBOX_RETRY},    {"R\n", 0, 2, ERRORBOX_RETRY},
      {"retry\n", 1, 0, ERRORBOX_QUIT},     {"continue\n", 0, 2, ERRORBOX_QUIT},
      {"quit\n", 1, 2, ERRORBOX_QUIT},      {"", 1, 2, ERRORBOX_QUIT},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScriptedErrorBox(c.input, c.first, c.retry, 0x80000000u).first, c.reply)
        << c.input << " " << c.first << " " << c.retry;
  }
}

TEST(PosixTerminalErrorBoxTest, ShowsTheCaptionTextAndButtons) {
  auto [reply, output] = ScriptedErrorBox("\n", 1, 2, 0x80000003u);
  EXPECT_EQ(reply, ERRORBOX_QUIT);
  EXPECT_NE(output.find("(x) [ERROR]\nError Code:  5 [ ZERO DIVISOR ]\n"), std::string::npos);
  EXPECT_NE(output.find("[ Continue ]  [ Retry ]  [ Break ]"), std::string::npos);
  EXPECT_EQ(ScriptedErrorBox("\n", 0, 0, 0x80000000u).second.find("[ Continue ]"),
            std::string::npos);
}

TEST(PosixFileTextTest, CreatingInAMissingFolderReportsPathNotFound) {
  PosixTestFolder folder;
  PosixFileSystem files;
  HeadlessSettings settings;
  PosixTerminalUi ui(-1, stdout, false, nullptr);
  ScopedRuntime runtime(files, settings, ui);
  EXPECT_EQ(FCreate2(folder.path() + "/missing/VOERROR.LOG", FC_ARCHIVED), F_ERROR);
  EXPECT_EQ(FError(), kErrorPathNotFound);
  FHandle handle = FCreate2(folder.path() + "/VOERROR.LOG", FC_ARCHIVED);
  ASSERT_NE(handle, F_ERROR);
  FPutS3(handle, "abc", 2);
  FPutS(handle, "");
  FClose(handle);
  EXPECT_EQ(folder.Get("VOERROR.LOG"), "ab\r\n\r\n");
}

}  // namespace
}  // namespace qef
