#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "runtime/display_text.h"

namespace qef {

class FileSystem;
class SettingsStore;
class UserInterface;

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;       // efx fix, efx dump: a file failed
inline constexpr int kExitNeedsRepair = 1;  // efx check: a file would be changed by the repair
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCannotProcess = 3;  // efx check: a file cannot be processed
inline constexpr int kExitOutputFailed = 2;   // standard output or error could not be written
inline constexpr int kExitCancelled = 130;    // 128 + SIGINT; 128 + the signal that cancelled

struct EfxEnvironment {
  FileSystem& files;
  SettingsStore& settings;
  UserInterface& ui;
  std::FILE* out;
  std::FILE* err;
  // How the user's terminal reads bytes: every name or path written as text goes through
  // DisplayText for it, on a terminal or not, so a script reads what a user would see.
  TerminalEncoding encoding = TerminalEncoding::kUtf8;
  // FILE arguments with wildcards are expanded by efx itself (the Windows build).
  bool expand_wildcards = false;
  // The signal that cancelled the run (0: none, or unknown), for the exit status 128 + signal.
  int (*stop_signal)() = nullptr;
};

// Runs one efx command line (without the program name) and returns its exit status.
int RunEfx(const std::vector<std::string>& args, EfxEnvironment& env);

}  // namespace qef
