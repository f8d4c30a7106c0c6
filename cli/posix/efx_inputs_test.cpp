// Inputs nobody planned for, given to the real programs: files that are not regular files, and
// names holding terminal control characters. Each run is a child process with an alarm, so a
// program that waits forever fails the test instead of hanging it.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/posix/real_program.h"
#include "exportfile/export_file.h"
#include "exportfile/testing/records.h"
#include "platform/posix/posix_file_kinds.h"
#include "platform/posix/posix_test_folder.h"

namespace qef {
namespace {

using testing::HeaderRecord;
using testing::Record;

constexpr unsigned kAlarmSeconds = 10;

struct Outcome {
  bool exited = false;  // false: killed, by the alarm or a crash
  int status = -1;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path) {
  std::string text;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    std::fclose(file);
  }
  return text;
}

// Runs `program` with `args` in `folder`, with `input` on standard input and LC_ALL set to
// `locale`; standard output and error go to files of `scratch`.
Outcome RunProgram(const char* program, const std::vector<std::string>& args,
                   const std::string& folder, const PosixTestFolder& scratch,
                   const char* locale = "C.UTF-8", const std::string& input = "") {
  const std::string out = scratch.Path("out"), err = scratch.Path("err"), in = scratch.Path("in");
  scratch.Put("in", input);
  std::fflush(nullptr);
  pid_t child = ::fork();
  if (child == 0) {
    if (::chdir(folder.c_str()) != 0) ::_exit(126);
    std::freopen(in.c_str(), "r", stdin);
    std::freopen(out.c_str(), "w", stdout);
    std::freopen(err.c_str(), "w", stderr);
    ::setenv("LC_ALL", locale, 1);
    ::setenv("EXPORTFIX_SETTINGS", scratch.Path("settings.ini").c_str(), 1);
    ExecWithAlarm(program, args, kAlarmSeconds);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  Outcome outcome;
  outcome.exited = WIFEXITED(status);
  outcome.status = outcome.exited ? WEXITSTATUS(status) : -1;
  outcome.out = Slurp(out);
  outcome.err = Slurp(err);
  return outcome;
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(EfxInputsTest, NoRegularFileIsWaitedForAndEachIsAFileThatCannotBeRead) {
  PosixTestFolder folder, scratch;
  std::vector<SpecialFile> specials = MakeSpecialFiles(folder.path());
  ASSERT_EQ(specials.size(), kSpecialFileKinds);
  const std::vector<std::string> before = Entries(folder.path());
  struct Command {
    std::vector<std::string> args;  // the path follows
    int status;
  };
  const Command commands[] = {{{"fix"}, 1}, {{"check"}, 3}, {{"dump"}, 1}, {{"dump", "--json"}, 1}};
  for (const SpecialFile& special : specials) {
    for (const Command& command : commands) {
      SCOPED_TRACE(command.args[0] + " of a " + special.kind);
      std::vector<std::string> args = command.args;
      args.push_back(special.path);
      Outcome outcome = RunProgram(EFX_PATH, args, folder.path(), scratch);
      ASSERT_TRUE(outcome.exited) << "efx did not end";
      EXPECT_EQ(outcome.status, command.status);
      EXPECT_NE((outcome.out + outcome.err).find("Error reading " + special.path),
                std::string::npos)
          << outcome.out << outcome.err;
      EXPECT_EQ(Entries(folder.path()), before);
    }
    SCOPED_TRACE(std::string("exportfix in line mode, given a ") + special.kind);
    Outcome outcome = RunProgram(EXPORTFIX_PATH, {}, folder.path(), scratch, "C.UTF-8",
                                 "ok\n" + special.path + "\n\n");
    ASSERT_TRUE(outcome.exited) << "exportfix did not end";
    EXPECT_NE(outcome.out.find("Error reading " + special.path), std::string::npos) << outcome.out;
    EXPECT_EQ(Entries(folder.path()), before);
  }
}

// True when no byte of the text would act on a terminal of the locale: no control character but
// the line feed, and in UTF-8 no C1 control and no byte outside a valid character.
bool Harmless(const std::string& text, bool utf8) {
  for (size_t i = 0; i < text.size(); ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    if ((byte < 0x20 && byte != '\n') || byte == 0x7F) return false;
    if (byte < 0x80) continue;
    if (!utf8) {
      if (byte <= 0x9F) return false;
      continue;
    }
    // The only characters beyond ASCII in these runs are the two-byte ones of the names.
    if (byte < 0xC2 || byte > 0xDF || i + 1 == text.size()) return false;
    auto next = static_cast<unsigned char>(text[++i]);
    if ((next & 0xC0) != 0x80 || (byte == 0xC2 && next <= 0x9F)) return false;
  }
  return true;
}

TEST(EfxInputsTest, ControlCharactersOfNamesNeverReachTheOutputRaw) {
  PosixTestFolder folder, scratch;
  const std::string evil = "evil\x1b[2J\x1b]0;owned\x1b\\";
  folder.Put(evil + ".AEF", "not an export file, but at least fifty bytes long, so it is tested");
  folder.Put(evil + "ok.AEF", HeaderRecord() + Record(AEF_REC_APPNAME, "a:b\x1b[2J"));
  folder.Put("caf\xc3\xa9\xff\xc2\x9b.AEF", "short");
  const std::vector<std::vector<std::string>> runs = {
      {"fix", evil + ".AEF"},
      {"fix", evil + "ok.AEF", "gone\x07.AEF"},
      {"check", evil + ".AEF", evil + "ok.AEF", "caf\xc3\xa9\xff\xc2\x9b.AEF"},
      {"dump", evil + "ok.AEF"},
      {"dump", evil + ".AEF"},
      {"ls", folder.path() + "/*"},
      {"fix", "--bad\x1b[2J", "x.AEF"},
  };
  for (const char* locale : {"C.UTF-8", "C"}) {
    for (const std::vector<std::string>& args : runs) {
      SCOPED_TRACE(std::string(locale) + ": " + args[0] + " " + args[1]);
      Outcome outcome = RunProgram(EFX_PATH, args, folder.path(), scratch, locale);
      ASSERT_TRUE(outcome.exited);
      EXPECT_TRUE(Harmless(outcome.out, locale[1] == '.')) << outcome.out;
      EXPECT_TRUE(Harmless(outcome.err, locale[1] == '.')) << outcome.err;
      // Names as \x1b; bodies of name records in efx dump's own quoting, as \x1B.
      const std::string all = outcome.out + outcome.err;
      EXPECT_TRUE(all.find("\\x1b") != all.npos || all.find("\\x1B") != all.npos) << all;
    }
  }
}

}  // namespace
}  // namespace qef
