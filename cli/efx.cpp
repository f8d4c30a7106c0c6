#include "cli/efx.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>

#include "app/app_texts.h"
#include "cli/efx_commands.h"
#include "cli/efx_ls.h"
#include "cli/file_arguments.h"
#include "exportfile/process_ef.h"
#include "exportfile/repair.h"
#include "fsutil/export_file_tree.h"
#include "progress/win_progress.h"
#include "runtime/display_text.h"
#include "runtime/file_functions.h"
#include "runtime/international.h"
#include "runtime/runtime.h"
#include "runtime/settings_overlay.h"
#include "ui/window.h"

namespace qef {

namespace {

constexpr char kUsage[] =
    "Usage: efx fix [--bad STRING] [--good STRING] [--strict-names] FILE...\n"
    "       efx check [--bad STRING] [--good STRING] [--strict-names] [--json] FILE...\n"
    "       efx dump [--json] [--type NAME|CODE]... FILE\n"
    "       efx ls [--json] PATTERN [ATTRIBUTES]\n"
    "       efx --help | --version\n";

constexpr char kHelp[] =
    "efx - Quillon Export File Fix on the command line\n"
    "\n"
    "Usage: efx fix [--bad STRING] [--good STRING] [--strict-names] [-r] [--out-dir DIR] [-k]\n"
    "               FILE...\n"
    "       efx check [--bad STRING] [--good STRING] [--strict-names] [-r] [--json] FILE...\n"
    "       efx dump [--json] [--type NAME|CODE]... FILE\n"
    "       efx --help | --version\n"
    "\n"
    "efx fix repairs CA-VO 2.5 export files (.AEF, .MEF) in the order given. In the names of\n"
    "applications, source paths and modules, the n-th character of Bad becomes the n-th\n"
    "character of Good, and module names that would collide get a counter. Each repaired copy\n"
    "is written beside its input, named by the input up to its last \".\" and \"fix\"\n"
    "(App.AEF gives App.fix), or with --out-dir into DIR under the input's own name; an\n"
    "existing copy is replaced only once the new one is complete.\n"
    "The inputs are only read. The run stops at the first file that fails (with --keep-going it\n"
    "goes on); Ctrl-C cancels it and removes the copy under way.\n"
    "On Windows, efx expands the wildcards * and ? in the last part of a FILE argument itself,\n"
    "as the shell does elsewhere; a pattern that matches no file is an error.\n"
    "\n"
    "efx check goes through the same repair without writing anything and reports, file by\n"
    "file, every name record that would change (before -> after), every record cut short that\n"
    "would be padded, the module names that stay duplicated, and every application or module\n"
    "name that Windows rejects as a file name (control characters, reserved device names such\n"
    "as CON or LPT1, a \".\" or blank at the end, an empty name). It also names each module\n"
    "whose name other readers take for an earlier module's (they end a name at its first zero\n"
    "byte and fold the case of accented letters too) and a file without an end record, which\n"
    "they refuse. These are warnings unless --strict-names is given.\n"
    "\n"
    "efx dump lists the records of one export file: offset, type code, type name, length, the\n"
    "body of the name records, and damage as the repair treats it.\n"
    "\n"
    "Options:\n"
    "  --bad STRING   the characters to replace, for this run (default :/\\*\"'?|<>)\n"
    "  --good STRING  their replacements, by position (default ----------)\n"
    "                 Both are taken byte for byte; without them the stored settings apply.\n"
    "  --strict-names fix, check: also mend application and module names that Windows rejects:\n"
    "                 control characters, the last letter of a device name (CON -> CO-) and\n"
    "                 trailing dots and blanks become \"-\"; module names get their counter\n"
    "                 when they equal an earlier one as other readers compare names (the\n"
    "                 stored setting StrictNames=1 does the same; --no-strict-names turns it\n"
    "                 off for the run)\n"
    "  -r, --recursive\n"
    "                 fix, check: a FILE that is a folder stands for the export files under it\n"
    "                 (.AEF, .MEF in any letter case) at any depth: a folder's files in name\n"
    "                 order, then its sub-folders one by one. Links, hidden and system entries\n"
    "                 (on POSIX: names starting with \".\") are skipped. Without -r a folder\n"
    "                 fails as a file that cannot be read, with a hint to add -r.\n"
    "  --out-dir DIR  fix: write each copy into DIR under its input's own name (App.AEF gives\n"
    "                 DIR/App.AEF); the files of a folder argument keep their sub-folders below\n"
    "                 DIR, without the folder's own name (efx fix -r --out-dir OUT TREE puts\n"
    "                 TREE/a/App.AEF in OUT/a/App.AEF). DIR and its sub-folders are made when\n"
    "                 missing. A run whose copy would replace one of its inputs, or two of\n"
    "                 whose copies would be one file, is refused before anything is written.\n"
    "  -k, --keep-going\n"
    "                 fix: report a file that fails and go on with the next; at the end, name\n"
    "                 every file that failed (exit status 1). Ctrl-C still ends the run.\n"
    "  --json         check, dump: one JSON document on standard output\n"
    "  --type T       dump: only records of this type, by name (MODNAME, AEF_REC_MODNAME,\n"
    "                 Unknown) or code (32, 0x20); may be given more than once\n"
    "  --help         show this text\n"
    "  --version      show the version\n"
    "\n"
    "efx ls [--json] PATTERN [ATTRIBUTES] lists the entries matching PATTERN (wildcards * and ?\n"
    "in its last part); ATTRIBUTES (letters D S H C O T, or a number such as 0x10) adds entries\n"
    "with those attributes.\n"
    "\n"
    "Exit status: 0 every file repaired, 1 a file failed, 2 usage error, 130 cancelled.\n"
    "  check: 0 nothing to repair, 1 a file needs repair (with --strict-names also: a name\n"
    "  stays invalid or duplicated), 3 a file cannot be processed.\n"
    "  dump: 0 listed, 1 the file cannot be read as an export file.\n"
    "  ls: 0 listed (also when nothing matched), 1 the folder cannot be read, 2 usage error.\n"
    "  Every command: 2 when standard output could not be written; 128 + the signal when\n"
    "  SIGTERM or SIGHUP cancelled it (130 for Ctrl-C).\n";

constexpr char kVersion[] = "efx (Quillon Export File Fix) 1.1\n";

// CLI11 takes "--name=" with nothing after the "=" as a request for the next argument; here
// it means an empty value, as it always has.
std::vector<std::string> EmptyValuesAsArguments(const std::vector<std::string>& args) {
  std::vector<std::string> result;
  bool options_done = false;
  for (const std::string& arg : args) {
    if (arg == "--") options_done = true;
    if (!options_done && arg.size() > 3 && arg.rfind("--", 0) == 0 && arg.back() == '=' &&
        arg.find('=') == arg.size() - 1) {
      result.push_back(arg.substr(0, arg.size() - 1));
      result.emplace_back();
    } else {
      result.push_back(arg);
    }
  }
  return result;
}

// A report cut short by a failed write must not end with the status of a complete one: what is
// left is written out, and a failure on either stream since the start is an error of its own.
int FinishOutput(EfxEnvironment& env, int status) {
  errno = 0;
  const bool out_failed = std::fflush(env.out) != 0 || std::ferror(env.out) != 0;
  const int reason = errno;
  if (out_failed) {
    std::string text = "efx: error writing standard output";
    if (reason != 0) text += " (" + SystemReason(reason) + ")";
    std::fprintf(env.err, "%s\n", text.c_str());
  }
  std::fflush(env.err);
  return out_failed || std::ferror(env.err) != 0 ? kExitOutputFailed : status;
}

}  // namespace

std::string SystemReason(int error) {
  std::string text = std::strerror(error);
  if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z' && (text.size() < 2 || text[1] > 'Z')) {
    text[0] = static_cast<char>(text[0] - 'A' + 'a');
  }
  return text;
}

int Cancelled(EfxEnvironment& env) {
  std::fputs("Cancelled.\n", env.err);
  int signal = env.stop_signal != nullptr ? env.stop_signal() : 0;
  return signal > 0 ? 128 + signal : kExitCancelled;
}

int UsageError(EfxEnvironment& env, const std::string& message) {
  std::fprintf(env.err, "efx: %s\n%s", DisplayText(message, env.encoding).c_str(), kUsage);
  return kExitUsage;
}

std::optional<int> ParseCommand(CLI::App& app, std::vector<std::string> args, EfxEnvironment& env) {
  bool help = false;
  app.set_help_flag();
  app.add_flag("-h,--help", help);
  // Unknown options are reported below in the tool's own words.
  app.allow_extras();
  args = EmptyValuesAsArguments(args);
  std::reverse(args.begin(), args.end());  // CLI11 takes the last element first
  try {
    app.parse(args);
  } catch (const CLI::ArgumentMismatch& error) {
    // An option at the end without its value; CLI11 names the option first ("--bad: ...").
    std::string what = error.what();
    return UsageError(env, what.substr(0, what.find(':')) + " needs a value");
  } catch (const CLI::ParseError& error) {
    return UsageError(env, error.what());
  }
  if (help) {
    std::fputs(kHelp, env.out);
    return kExitOk;
  }
  // CLI11 leaves the "--" that ends the options among the extras.
  for (const std::string& extra : app.remaining()) {
    if (extra != "--") return UsageError(env, "unknown option " + extra);
  }
  return std::nullopt;
}

void AddRepairOptions(CLI::App& app, RepairOptions& options) {
  app.add_option_function<std::string>(
         "--bad", [&options](const std::string& value) { options.bad = value; })
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_option_function<std::string>(
         "--good", [&options](const std::string& value) { options.good = value; })
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_flag_function("--strict-names,!--no-strict-names",
                        [&options](std::int64_t count) { options.strict_names = count > 0; })
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

void ApplyRepairOptions(const RepairOptions& options, SettingsOverlay& settings) {
  if (options.bad) settings.Set(kSettingsKey, "Bad", *options.bad);
  if (options.good) settings.Set(kSettingsKey, "Good", *options.good);
  if (options.strict_names) {
    settings.Set(kSettingsKey, kStrictNamesValue, *options.strict_names ? "1" : "0");
  }
}

namespace {

// The options of efx fix beyond the design's run; without them the run is ProcessEF's.
struct BatchOptions {
  bool recursive = false;
  std::optional<std::string> out_dir;
  bool keep_going = false;
  bool Any() const { return recursive || out_dir || keep_going; }
};

// A Windows path as Windows compares it: either separator, any letter case.
std::string FoldedPath(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return Upper(std::move(path));
}

// Why the copies of the run must not be written, checked before anything is: two inputs whose
// copies would be one file, or a copy that would replace an input of the run. The copies'
// names are compared as the system compares names (Windows: without regard to case); what is
// already there, by the file each path leads to, links followed.
std::optional<std::string> OutputRefusal(const std::vector<FileArgument>& inputs,
                                         const std::vector<std::string>& outputs,
                                         std::string_view separators) {
  const bool fold = separators.find('\\') != std::string_view::npos;
  std::map<FileIdentity, size_t> input_files;
  for (size_t i = 0; i < inputs.size(); ++i) {
    if (!inputs[i].matched) continue;
    if (std::optional<FileIdentity> file = FIdentifyFile(inputs[i].path)) {
      input_files.emplace(*file, i);
    }
  }
  std::map<std::string, size_t> copies;
  for (size_t i = 0; i < inputs.size(); ++i) {
    if (!inputs[i].matched) continue;
    const std::string& output = outputs[i];
    auto [earlier, added] = copies.emplace(fold ? FoldedPath(output) : output, i);
    if (!added) {
      return inputs[earlier->second].path + " and " + inputs[i].path +
             " would both be repaired to " + outputs[earlier->second];
    }
    std::optional<FileIdentity> file = FIdentifyFile(output);
    auto replaced = file ? input_files.find(*file) : input_files.end();
    if (replaced != input_files.end()) {
      return "the copy of " + inputs[i].path + ", " + output + ", would replace the input " +
             inputs[replaced->second].path + "; choose an --out-dir outside the inputs' folders";
    }
  }
  return std::nullopt;
}

// Where the file lies below its folder argument; a file named by itself, its own name.
std::string PathBelowArgument(const FileArgument& input, std::string_view separators) {
  return input.folder ? input.relative : FileNamePart(input.path, separators);
}

std::string CopiesSentence(uint32_t written, const std::string& out_dir) {
  if (written == 0) return "";
  return std::to_string(written) +
         (written == 1 ? " repaired copy was written to " : " repaired copies were written to ") +
         out_dir + ".";
}

// efx fix with any of --recursive, --out-dir and --keep-going: the repair run of ProcessEF, file
// by file through the same RepairRun, with the copies' names chosen here and, with
// --keep-going, past failed files.
int RunFixBatch(const std::vector<std::string>& files, const BatchOptions& batch,
                EfxEnvironment& env) {
  const std::vector<FileArgument> inputs =
      ExpandFileArguments(files, env.expand_wildcards, batch.recursive);
  const std::string separators(PathSeparators());
  std::vector<std::string> outputs;
  if (batch.out_dir) {
    for (const FileArgument& input : inputs) {
      outputs.push_back(JoinPath(*batch.out_dir, PathBelowArgument(input, separators), separators));
    }
    if (std::optional<std::string> refusal = OutputRefusal(inputs, outputs, separators)) {
      return UsageError(env, *refusal);
    }
    if (!FMakeFolders(*batch.out_dir)) {
      std::fprintf(env.err, "%s\n",
                   DisplayText("efx: could not create the folder " + *batch.out_dir + " (" +
                                   FErrorText(FError()) + ")",
                               env.encoding)
                       .c_str());
      return kExitFailed;
    }
  }

  WinProgress oWin;
  oWin.Caption(kAppTitle);
  oWin.Show();
  RepairRun run(oWin, ReadRepairSettings());
  uint32_t fixed = 0;
  std::vector<std::string> failed;
  for (size_t i = 0; i < inputs.size() && !oWin.lAbort; ++i) {
    const FileArgument& input = inputs[i];
    std::string failure;
    if (!input.matched) {
      failure = NoMatchMessage(input);
    } else if (!batch.recursive && FIsFolder(input.path)) {
      failure = FolderWithoutRecursiveMessage(input.path);
    } else {
      // Files of many folders may share a name: the task line shows where the file lies below
      // its folder argument, and its place in the whole run.
      run.NextTask(PathBelowArgument(input, separators) + " (" + std::to_string(i + 1) + "/" +
                   std::to_string(inputs.size()) + ")");
      FileResult result =
          outputs.empty() ? run.RepairFile(input.path) : run.RepairFile(input.path, outputs[i]);
      if (result == FileResult::kCancelled) break;
      if (result == FileResult::kCompleted) {
        ++fixed;
        continue;
      }
      failure = run.FailureWithReason();
    }
    WarningBox(&oWin, "Error", failure).Show();
    failed.push_back(input.path);
    if (!batch.keep_going) break;
  }

  std::string sentence =
      batch.out_dir ? CopiesSentence(fixed, *batch.out_dir) : CountSentence(fixed);
  if (!sentence.empty()) {
    std::fprintf(env.out, "%s\n", DisplayText(sentence, env.encoding).c_str());
  }
  if (oWin.lAbort) return Cancelled(env);
  if (batch.keep_going && !failed.empty()) {
    std::fprintf(env.err, "%zu of %zu %s failed:\n", failed.size(), inputs.size(),
                 inputs.size() == 1 ? "file" : "files");
    for (const std::string& path : failed) {
      std::fprintf(env.err, "  %s\n", DisplayText(path, env.encoding).c_str());
    }
  }
  return failed.empty() ? kExitOk : kExitFailed;
}

}  // namespace

int RunFix(const std::vector<std::string>& args, EfxEnvironment& env) {
  CLI::App app;
  RepairOptions options;
  BatchOptions batch;
  std::vector<std::string> files;
  AddRepairOptions(app, options);
  app.add_flag("-r,--recursive", batch.recursive);
  app.add_option_function<std::string>(
         "--out-dir", [&batch](const std::string& value) { batch.out_dir = value; })
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_flag("-k,--keep-going", batch.keep_going);
  app.add_option("files", files);
  if (auto status = ParseCommand(app, args, env)) return *status;
  if (files.empty()) return UsageError(env, "no export file given");
  if (batch.out_dir && batch.out_dir->empty()) return UsageError(env, "--out-dir needs a folder");

  SettingsOverlay settings(env.settings);
  ApplyRepairOptions(options, settings);
  ScopedRuntime runtime(env.files, settings, env.ui);
  if (batch.Any()) return RunFixBatch(files, batch, env);

  // A pattern that matches nothing, or a folder, fails like a file that cannot be read: the run
  // stops there.
  std::vector<std::string> paths;
  std::optional<std::string> unmatched;
  std::optional<std::string> folder;
  for (const FileArgument& file : ExpandFileArguments(files, env.expand_wildcards)) {
    if (!file.matched) {
      unmatched = file.path;
      break;
    }
    if (FIsFolder(file.path)) {
      folder = file.path;
      break;
    }
    paths.push_back(file.path);
  }

  WinProgress oWin;
  oWin.Caption(kAppTitle);
  oWin.Show();
  // A folder first in line is the run's only failure, not a run without files.
  uint32_t fixed = paths.empty() && folder ? 0 : ProcessEF(paths, oWin, true);
  if (unmatched && fixed == paths.size() && !oWin.lAbort) {
    std::fprintf(env.err, "%s\n", NoMatchMessage(*unmatched).c_str());
  }
  if (folder && fixed == paths.size() && !oWin.lAbort) {
    std::fprintf(env.err, "%s\n",
                 DisplayText(FolderWithoutRecursiveMessage(*folder), env.encoding).c_str());
  }

  std::string sentence = CountSentence(fixed);
  if (!sentence.empty()) std::fprintf(env.out, "%s\n", sentence.c_str());
  if (oWin.lAbort) return Cancelled(env);
  return fixed == paths.size() && !unmatched && !folder ? kExitOk : kExitFailed;
}

namespace {

int RunCommand(const std::vector<std::string>& args, EfxEnvironment& env) {
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
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "fix") return RunFix(rest, env);
  if (command == "check") return RunCheck(rest, env);
  if (command == "dump") return RunDump(rest, env);
  if (command == "ls") return RunLs(rest, env);
  return UsageError(env, "unknown command " + command);
}

}  // namespace

int RunEfx(const std::vector<std::string>& args, EfxEnvironment& env) {
  return FinishOutput(env, RunCommand(args, env));
}

}  // namespace qef
