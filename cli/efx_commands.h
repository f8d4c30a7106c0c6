#pragma once

// The commands of efx and what they share; each command gets the arguments after its word.

#include <optional>
#include <string>
#include <vector>

#include "cli/efx.h"

namespace CLI {
class App;
}  // namespace CLI

namespace qef {

class SettingsOverlay;

int RunFix(const std::vector<std::string>& args, EfxEnvironment& env);
int RunCheck(const std::vector<std::string>& args, EfxEnvironment& env);
int RunDump(const std::vector<std::string>& args, EfxEnvironment& env);

// Reports a usage error on standard error, with the usage lines; returns kExitUsage.
int UsageError(EfxEnvironment& env, const std::string& message);

// The system's words for a C run-time error code (errno), starting in lower case.
std::string SystemReason(int error);

// Reports the cancel on standard error; returns 128 + the signal that asked for it (130 for
// Ctrl-C).
int Cancelled(EfxEnvironment& env);

// Parses a command's arguments with its options declared in `app`, which also gets -h/--help.
// Returns the exit status when the command ends here: after the help text or a usage error.
std::optional<int> ParseCommand(CLI::App& app, std::vector<std::string> args, EfxEnvironment& env);

// --bad, --good and --strict-names, shared by the commands that repair.
struct RepairOptions {
  std::optional<std::string> bad;
  std::optional<std::string> good;
  std::optional<bool> strict_names;  // --strict-names, --no-strict-names
};
void AddRepairOptions(CLI::App& app, RepairOptions& options);
// The options in front of the stored settings.
void ApplyRepairOptions(const RepairOptions& options, SettingsOverlay& settings);

}  // namespace qef
