// Kills `efx fix` with SIGKILL at many points of a large file's repair and checks the output
// name after each kill: absent, the earlier copy, or the complete new copy, never a part.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "cli/posix/real_program.h"
#include "exportfile/export_file.h"
#include "exportfile/testing/records.h"
#include "platform/posix/posix_test_folder.h"

namespace qef {
namespace {

using testing::HeaderRecord;
using testing::ModuleBody;
using testing::Record;

constexpr int kKillPoints = 50;
constexpr size_t kInputSize = 64 << 20;

pid_t StartFix(const std::string& input) {
  std::fflush(nullptr);
  pid_t child = ::fork();
  if (child == 0) {
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    ::execl(EFX_PATH, "efx", "fix", input.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return child;
}

void RemoveTemporaries(const std::string& folder) {
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().string().find(".partial") != std::string::npos) {
      std::filesystem::remove(entry.path());
    }
  }
}

TEST(EfxKillTest, OutputIsNeverPartialWhereverTheRunIsKilled) {
  PosixTestFolder folder;
  ASSERT_FALSE(folder.path().empty());
  // Name records all along the file, so the copy differs from the input throughout.
  std::string input = HeaderRecord();
  for (int i = 0; input.size() < kInputSize; ++i) {
    input += Record(AEF_REC_MODNAME, ModuleBody("Mod:" + std::to_string(i)));
    input += Record(0x41, std::string(60000, static_cast<char>('a' + i % 26)));
  }
  folder.Put("big.AEF", input);
  std::string in = folder.Path("big.AEF");
  std::string partial = folder.Path("big.fix.partial");

  auto start = std::chrono::steady_clock::now();
  int status = 0;
  ::waitpid(StartFix(in), &status, 0);
  std::chrono::duration<double> duration = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::optional<std::string> complete = ReadWhole(folder.Path("big.fix"));
  ASSERT_TRUE(complete && complete->size() == input.size());
  ASSERT_NE(*complete, input);

  int killed_running = 0;
  int outcomes[3] = {0, 0, 0};  // absent, earlier copy, complete copy
  for (int point = 0; point < kKillPoints; ++point) {
    SCOPED_TRACE("kill point " + std::to_string(point));
    RemoveTemporaries(folder.path());
    bool with_earlier = point % 2 == 1;
    if (with_earlier) {
      folder.Put("big.fix", "earlier copy");
    } else {
      std::filesystem::remove(folder.Path("big.fix"));
    }
    // Each point is a share of the copy written to the temporary file, from before its
    // creation to the whole of it (the moment of the rename); polled, not timed, so the points
    // land in the copy however fast the machine is.
    pid_t child = StartFix(in);
    size_t target = complete->size() * static_cast<size_t>(point) / (kKillPoints - 1);
    bool exited = false;
    for (struct stat info; point > 0;) {
      if (::stat(partial.c_str(), &info) == 0 && static_cast<size_t>(info.st_size) >= target) break;
      if (::waitpid(child, &status, WNOHANG) == child) {
        exited = true;
        break;
      }
    }
    ::kill(child, SIGKILL);
    if (!exited) ::waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) ++killed_running;

    std::optional<std::string> output = ReadWhole(folder.Path("big.fix"));
    if (!output) {
      EXPECT_FALSE(with_earlier) << "the earlier copy was lost";
      ++outcomes[0];
    } else if (*output == "earlier copy") {
      EXPECT_TRUE(with_earlier);
      ++outcomes[1];
    } else {
      EXPECT_EQ(output->size(), complete->size()) << "a partial copy under the output name";
      EXPECT_TRUE(*output == *complete) << "a copy that is not the complete one";
      ++outcomes[2];
    }
    EXPECT_EQ(ReadWhole(in), input) << "the input changed";
  }
  RemoveTemporaries(folder.path());
  std::printf(
      "[ kills    ] %d kill points over a %zu MiB run of %.2f s: %d while running; output "
      "absent %d, earlier copy %d, complete copy %d, partial 0\n",
      kKillPoints, kInputSize >> 20, duration.count(), killed_running, outcomes[0], outcomes[1],
      outcomes[2]);
  EXPECT_GE(killed_running, kKillPoints * 3 / 4) << "too few kills landed during a run";
}

}  // namespace
}  // namespace qef
