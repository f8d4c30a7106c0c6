// exportfix on POSIX systems: the main flow in the terminal.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/program.h"
#include "app/program_symbols.h"
#include "platform/backends.h"
#include "platform/posix/posix_terminal_ui.h"
#include "ui/console.h"

namespace {

// Where the screens and questions go: standard output, unless the answers come from a terminal
// and standard output goes elsewhere; then to that terminal, where the user sees them.
std::FILE* QuestionStream(bool interactive) {
  if (interactive || ::isatty(STDIN_FILENO) != 1 || ::isatty(STDOUT_FILENO) == 1) return stdout;
  const char* terminal = ::ttyname(STDIN_FILENO);
  std::FILE* stream = terminal != nullptr ? std::fopen(terminal, "we") : nullptr;
  return stream != nullptr ? stream : stdout;
}

}  // namespace

int main(int argc, char** argv) {
  qef::EnsureStandardStreams();
  const qef::SystemBackends system = qef::MakeSystemBackends();
  bool interactive = ::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1;
  qef::PosixTerminalUi ui(STDIN_FILENO, QuestionStream(interactive), interactive,
                          qef::InstallInterruptFlag());
  // Files named on the command line are repaired instead of asking for them.
  std::vector<std::string> given_files;
  for (int i = 1; i < argc; ++i) given_files.push_back(qef::SystemFullPath(argv[i]));
  qef::Program program = qef::ExportFixProgram(
      [](int type, int id) -> std::optional<std::string_view> {
        if (type == qef::kSymbolTableResourceType && id == qef::kSymbolTableResourceId) {
          return qef::ProgramSymbolTable();
        }
        return std::nullopt;
      },
      std::move(given_files));
  int status = qef::RunProgram(program, system.With(ui));
  // What was written must have arrived: a failed write is no success.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    std::fputs("exportfix: error writing standard output\n", stderr);
    if (status == 0) status = 1;
  }
  // Ended by a signal (SIGTERM, SIGHUP, Ctrl-C in line mode): the run was cancelled.
  if (int signal = qef::StopSignal(); signal != 0) status = 128 + signal;
  return status;
}
