#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "exportfile/repair.h"
#include "runtime/file_system.h"

namespace qef {

class RecordObserver;
class RepairFiles;
class WinProgress;

inline constexpr char kDescriptionText[] = "Replacing invalid characters in App/Module names...";

// The repair run: for each file in list order, tests it, writes its repaired copy beside it and
// shows progress in the window. Returns the number of copies completed. The first failing file
// ends the run after its warning box; Cancel ends it after removing the copy under way. With
// `with_reasons` (efx) the box ends in the system's reason, where it gave one.
uint32_t ProcessEF(const std::vector<std::string>& files, WinProgress& oWin,
                   bool with_reasons = false);

// What a run does with each file.
enum class RunMode {
  kWrite,     // writes the repaired copy: ProcessEF
  kDryRun,    // every test and step of kWrite, but creates, writes and removes nothing
  kReadOnly,  // the file test and the record loop alone: the output name plays no part
};

enum class FileResult { kCompleted, kFailed, kCancelled };

// The files of one run, one after another, with the state a run keeps between them. ProcessEF
// drives it to write; efx check and efx dump drive it in the other modes, with an observer, so
// that what they report comes from the very code that writes the copies.
class RepairRun {
 public:
  RepairRun(WinProgress& oWin, const RepairSettings& settings, RunMode mode = RunMode::kWrite,
            RecordObserver* observer = nullptr)
      : oWin_(oWin),
        map_(settings),
        strict_names_(settings.strict_names),
        mode_(mode),
        observer_(observer) {}

  // With `output`, the copy is written there, under any name, the input's own included: the
  // folders above it are made once the input has passed its file test.
  FileResult RepairFile(const std::string& path,
                        const std::optional<std::string>& output = std::nullopt);
  // What the task line shows for the next file instead of its name (efx: its place in a run of
  // many files).
  void NextTask(std::string task) { next_task_ = std::move(task); }
  // The text of the last failure, as the warning box shows it.
  const std::string& failure() const { return failure_; }
  // The system's words for its cause, where the system gave one ("no space left on device"
  // after "Error writing"); empty otherwise. The warning box does not show them.
  const std::string& failure_reason() const { return failure_reason_; }
  // The failure's text followed by its reason in parentheses, when there is one.
  std::string FailureWithReason() const {
    return failure_reason_.empty() ? failure_ : failure_ + " (" + failure_reason_ + ")";
  }

 private:
  FileResult Fail(const std::string& text, int system_error = 0);
  // Erases the unfinished copy, then fails.
  FileResult Discard(RepairFiles& files, const std::string& text, int system_error = 0);

  WinProgress& oWin_;
  CharacterMap map_;
  bool strict_names_;
  RunMode mode_;
  RecordObserver* observer_;
  ModuleNameList module_names_;
  // The folder entries of the copies completed in this run, looked up once per file, so a long
  // run costs the same per file as a short one.
  std::set<FileIdentity> written_;
  std::string failure_;
  std::string failure_reason_;
  std::optional<std::string> next_task_;
  std::string made_folder_;  // the folder last made for a chosen output: its files follow it
};

}  // namespace qef
