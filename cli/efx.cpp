#include "cli/efx.h"

#include <optional>

#include "app/app_texts.h"
#include "cli/efx_ls.h"
#include "exportfile/process_ef.h"
#include "exportfile/repair.h"
#include "platform/runtime.h"
#include "platform/settings_overlay.h"
#include "progress/win_progress.h"

namespace qef {

namespace {

constexpr char kUsage[] =
    "Usage: efx fix [--bad STRING] [--good STRING] FILE...\n"
    "       efx ls [--json] PATTERN [ATTRIBUTES]\n"
    "       efx --help | --version\n";

constexpr char kHelp[] =
    "efx - Quillon Export File Fix on the command line\n"
    "\n"
    "Usage: efx fix [--bad STRING] [--good STRING] FILE...\n"
    "       efx --help | --version\n"
    "\n"
    "efx fix repairs CA-VO 2.5 export files (.AEF, .MEF) in the order given. In the names of\n"
    "applications, source paths and modules, the n-th character of Bad becomes the n-th\n"
    "character of Good, and module names that would collide get a counter. Each repaired copy\n"
    "is written beside its input, named by the input up to its last \".\" and \"fix\"\n"
    "(App.AEF gives App.fix); an existing copy is replaced only once the new one is complete.\n"
    "The inputs are only read. The run stops at the first file that fails; Ctrl-C cancels it\n"
    "and removes the copy under way.\n"
    "\n"
    "Options:\n"
    "  --bad STRING   the characters to replace, for this run (default :/\\*\"'?|<>)\n"
    "  --good STRING  their replacements, by position (default ----------)\n"
    "                 Both are taken byte for byte; without them the stored settings apply.\n"
    "  --help         show this text\n"
    "  --version      show the version\n"
    "\n"
    "efx ls [--json] PATTERN [ATTRIBUTES] lists the entries matching PATTERN (wildcards * and ?\n"
    "in its last part); ATTRIBUTES (letters D S H C O T, or a number such as 0x10) adds entries\n"
    "with those attributes.\n"
    "\n"
    "Exit status: 0 every file repaired, 1 a file failed, 2 usage error, 130 cancelled.\n";

constexpr char kVersion[] = "efx (Quillon Export File Fix) 1.1\n";

int UsageError(EfxEnvironment& env, const std::string& message) {
  std::fprintf(env.err, "efx: %s\n%s", message.c_str(), kUsage);
  return kExitUsage;
}

int RunFix(const std::vector<std::string>& args, EfxEnvironment& env) {
  std::optional<std::string> bad;
  std::optional<std::string> good;
  std::vector<std::string> files;
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_done || arg.empty() || arg[0] != '-' || arg == "-") {
      files.push_back(arg);
    } else if (arg == "--") {
      options_done = true;
    } else if (arg == "--bad" || arg == "--good") {
      if (i + 1 == args.size()) return UsageError(env, arg + " needs a value");
      (arg == "--bad" ? bad : good) = args[++i];
    } else if (arg.rfind("--bad=", 0) == 0) {
      bad = arg.substr(6);
    } else if (arg.rfind("--good=", 0) == 0) {
      good = arg.substr(7);
    } else {
      return UsageError(env, "unknown option " + arg);
    }
  }
  if (files.empty()) return UsageError(env, "no export file given");

  SettingsOverlay settings(env.settings);
  if (bad) settings.Set(kSettingsKey, "Bad", *bad);
  if (good) settings.Set(kSettingsKey, "Good", *good);
  ScopedRuntime runtime(env.files, settings, env.ui);

  WinProgress oWin;
  oWin.Caption(kAppTitle);
  oWin.Show();
  uint32_t fixed = ProcessEF(files, oWin);

  std::string sentence = CountSentence(fixed);
  if (!sentence.empty()) std::fprintf(env.out, "%s\n", sentence.c_str());
  if (oWin.lAbort) {
    std::fputs("Cancelled.\n", env.err);
    return kExitCancelled;
  }
  return fixed == files.size() ? kExitOk : kExitFailed;
}

}  // namespace

int RunEfx(const std::vector<std::string>& args, EfxEnvironment& env) {
  if (args.empty()) return UsageError(env, "no command given");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kHelp, env.out);
    return kExitOk;
  }
  if (command == "--version") {
    std::fputs(kVersion, env.out);
    return kExitOk;
  }
  if (command == "fix") return RunFix({args.begin() + 1, args.end()}, env);
  if (command == "ls") return RunLs({args.begin() + 1, args.end()}, env);
  return UsageError(env, "unknown command " + command);
}

}  // namespace qef
