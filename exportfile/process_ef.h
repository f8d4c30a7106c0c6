#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "exportfile/repair.h"

namespace qef {

class RecordObserver;
class WinProgress;

inline constexpr char kDescriptionText[] = "Replacing invalid characters in App/Module names...";

// The repair run: for each file in list order, tests it, writes its repaired copy beside it and
// shows progress in the window. Returns the number of copies completed. The first failing file
// ends the run after its warning box; Cancel ends it after removing the copy under way.
uint32_t ProcessEF(const std::vector<std::string>& files, WinProgress& oWin);

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

  FileResult RepairFile(const std::string& path);
  // The text of the last failure, as the warning box shows it.
  const std::string& failure() const { return failure_; }

 private:
  FileResult Fail(const std::string& text);
  FileResult Discard(const std::string& temporary, const std::string& text);

  WinProgress& oWin_;
  CharacterMap map_;
  bool strict_names_;
  RunMode mode_;
  RecordObserver* observer_;
  ModuleNameList module_names_;
  std::vector<std::string> written_;  // output names completed in this run
  std::string failure_;
};

}  // namespace qef
