// exportfix on POSIX systems: the main flow in the terminal.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/program.h"
#include "app/program_symbols.h"
#include "platform/backends.h"
#include "platform/console.h"
#include "platform/posix/posix_terminal_ui.h"
#include "runtime/runtime.h"
#include "runtime/runtime_state.h"

int main(int argc, char** argv) {
  auto files = qef::MakeSystemFileSystem();
  auto settings = qef::MakeSystemSettings();
  bool interactive = ::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1;
  qef::PosixTerminalUi ui(STDIN_FILENO, stdout, interactive, qef::InstallInterruptFlag());
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
  // The run-time's state (error log folder, locale) is chosen here and lent to the program's.
  auto locale = qef::MakeSystemLocale();
  qef::ScopedRuntime runtime(*files, *settings, ui);
  runtime.runtime().state().locale = locale.get();
  runtime.runtime().state().base_work_dir = qef::SystemWorkDir;
  return qef::RunProgram(program, *files, *settings, ui);
}
