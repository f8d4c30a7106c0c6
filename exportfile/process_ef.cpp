#include "exportfile/process_ef.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "exportfile/export_file.h"
#include "exportfile/record_copier.h"
#include "exportfile/repair.h"
#include "progress/win_progress.h"
#include "runtime/error_block.h"
#include "runtime/file_functions.h"
#include "ui/window.h"

namespace qef {

namespace {

// How many temporary names are tried before creating the copy is given up.
constexpr int kTemporaryNameTries = 100;

void Warn(WinProgress& oWin, const std::string& text) { WarningBox(&oWin, "Error", text).Show(); }

std::string SameFileMessage(const std::string& path, const std::string& output) {
  return path + " is the same file as its repaired copy " + output +
         ", which would replace it, so it is not processed";
}

// Creates the file the copy is written to until it is complete: a new file beside the output,
// or one in place of a stale file of that name that a killed run left; the next name only when
// another run is writing under this one.
FHandle CreateTemporary(const std::string& output, FHandle input, std::string& temporary) {
  for (int attempt = 1; attempt <= kTemporaryNameTries; ++attempt) {
    temporary = output + ".partial" + (attempt == 1 ? "" : std::to_string(attempt));
    FHandle handle = FCreateTemporary(temporary, input);
    if (handle != F_ERROR) return handle;
  }
  return F_ERROR;
}

}  // namespace

// The files of one repair: the input, and the copy written under a temporary name beside the
// output until it is complete. However the repair ends, by a return or by a run-time error
// unwinding the run, both are closed and a copy not renamed into place is erased: no half copy
// stays behind, and no file stays open under a worker that copies from the other.
class RepairFiles {
 public:
  RepairFiles() = default;
  RepairFiles(const RepairFiles&) = delete;
  RepairFiles& operator=(const RepairFiles&) = delete;
  ~RepairFiles() {
    CloseInput();
    CloseCopy();
    EraseCopy();
  }

  FHandle input() const { return input_; }
  FHandle copy() const { return copy_; }

  bool OpenInput(const std::string& path) {
    input_ = FOpen(path, FO_READ);
    return input_ != F_ERROR;
  }
  // False, with FError() telling why, when no temporary name could be had.
  bool CreateCopy(const std::string& output) {
    std::string temporary;
    copy_ = CreateTemporary(output, input_, temporary);
    if (copy_ == F_ERROR) return false;
    temporary_ = temporary;
    return true;
  }
  void CloseInput() {
    if (input_ != F_ERROR) FClose(std::exchange(input_, F_ERROR));
  }
  // False when the copy could not be written out (FSystemError() tells why).
  bool CloseCopy() { return copy_ == kNoOutput || FClose(std::exchange(copy_, kNoOutput)); }
  // The copy, closed, takes the output's name; false, with FError() telling why, when it could
  // not, and the copy is still there to be erased. Only where no file has that name: false
  // when one has.
  bool RenameCopy(const std::string& output, bool only_if_free = false) {
    if (temporary_.empty()) return true;
    if (!(only_if_free ? FRenameIfFree(temporary_, output) : FRename(temporary_, output))) {
      return false;
    }
    temporary_.clear();
    return true;
  }
  void EraseCopy() {
    if (!temporary_.empty()) FErase(std::exchange(temporary_, std::string()));
  }

 private:
  FHandle input_ = F_ERROR;
  FHandle copy_ = kNoOutput;
  std::string temporary_;  // the copy's name, until it is renamed or erased
};

FileResult RepairRun::RepairFile(const std::string& path,
                                 const std::optional<std::string>& chosen_output) {
  module_names_.Clear();
  const std::optional<std::string> task = std::exchange(next_task_, std::nullopt);

  RepairFiles files;
  if (!files.OpenInput(path)) return Fail("Error reading " + path);
  FHandle input = files.input();

  int64_t size = 0;
  switch (TestExportFile(input, size)) {
    case FileTest::kAccepted:
      break;
    case FileTest::kNotExportFile:
      return Fail(path + " is not a valid Export File");
    case FileTest::kCompressed:
      return Fail(path + " is a compressed Export File and cannot be processed");
    case FileTest::kReadError:
      return Fail("Error reading " + path);
  }

  std::string separators(PathSeparators());
  std::string output = chosen_output.value_or(OutputName(path, separators));
  if (chosen_output && mode_ == RunMode::kWrite) {
    // Made before the copy's folder entry is looked up, which needs its folder.
    size_t folder_end = output.find_last_of(separators);
    if (folder_end != std::string::npos && folder_end != 0 &&
        output.compare(0, folder_end, made_folder_) != 0) {
      if (!FMakeFolders(output.substr(0, folder_end))) {
        return Fail("Could not create " + output, FError());
      }
      made_folder_ = output.substr(0, folder_end);
    }
  }
  // Under Wine, looking for a copy that is not there reads the whole folder: the copy is looked
  // at only when renaming it into place finds one there.
  const bool look_at_rename = mode_ == RunMode::kWrite && FMissingNamesAreDear();
  // Identified only where it plays a part: on Windows each identity opens a file and asks its
  // volume, which under Wine costs a call to another process.
  const FileIdentity entry = mode_ == RunMode::kReadOnly
                                 ? FileIdentity{0, 0, output}
                                 : FIdentifyEntry(output).value_or(FileIdentity{0, 0, output});
  if (mode_ != RunMode::kReadOnly) {
    if (!chosen_output && IsRepairedCopyName(path, separators)) {
      return Fail(path + " already has the extension .fix: its repaired copy would replace it," +
                  " so it is not processed");
    }
    // Whatever the paths say, the copies of one run must land in distinct folder entries.
    if (written_.count(entry) != 0) {
      return Fail(
          path + " would be repaired to " + output +
          (mode_ == RunMode::kWrite
               ? ", which this run has already written, so it is not processed"
               : ", the copy of an earlier file of this run, so it would not be processed"));
    }
    // Through a link the input may be its own copy, which the copy would then replace. The
    // input is looked at only when there is a copy already: usually there is none.
    if (!look_at_rename && FSameFile(output, path)) return Fail(SameFileMessage(path, output));
  }

  if (mode_ == RunMode::kWrite) {
    if (!files.CreateCopy(output)) return Fail("Could not create " + output, FError());
    // As private as the input: its names may be nobody else's business. Usually the copy was
    // created with the input's bits, and this costs nothing.
    FTakePermissions(files.copy(), input);
  }

  oWin_.Description(kDescriptionText);
  oWin_.Task(task.value_or(FileNamePart(path, separators)));
  oWin_.Progress().Range(Range(1, 100));

  FSeek(input, 0, 0);
  // A run-time error or an exception ends the run further up: `files` then closes both files
  // and erases the copy.
  CopyResult result =
      RecordCopier(input, files.copy(), size, map_, module_names_, oWin_, observer_, strict_names_)
          .Run();
  files.CloseInput();
  bool written_out = files.CloseCopy();
  int write_error = written_out ? 0 : FSystemError();

  if (result == CopyResult::kReadError) return Discard(files, "Error reading " + path);
  if (result == CopyResult::kWriteError || !written_out) {
    return Discard(files, "Error writing " + output, write_error);
  }
  if (oWin_.lAbort) {
    files.EraseCopy();
    return FileResult::kCancelled;
  }
  if (look_at_rename && !files.RenameCopy(output, true) && FSameFile(output, path)) {
    return Discard(files, SameFileMessage(path, output));
  }
  if (!files.RenameCopy(output)) return Discard(files, "Could not create " + output, FError());
  written_.insert(entry);
  return FileResult::kCompleted;
}

FileResult RepairRun::Fail(const std::string& text, int system_error) {
  failure_ = text;
  failure_reason_ = system_error != 0 ? FErrorText(system_error) : "";
  return FileResult::kFailed;
}

FileResult RepairRun::Discard(RepairFiles& files, const std::string& text, int system_error) {
  files.EraseCopy();
  return Fail(text, system_error);
}

uint32_t ProcessEF(const std::vector<std::string>& files, WinProgress& oWin, bool with_reasons) {
  Activation activation("PROCESSEF", __LINE__);  // a level of the error box's call stack
  RepairSettings settings = ReadRepairSettings();
  if (files.empty()) {
    Warn(oWin, "Cannot find file - no export file was chosen");
    return 0;
  }
  RepairRun run(oWin, settings);
  uint32_t completed = 0;
  for (const std::string& path : files) {
    FileResult result = run.RepairFile(path);
    if (result == FileResult::kFailed) {
      Warn(oWin, with_reasons ? run.FailureWithReason() : run.failure());
    }
    if (result != FileResult::kCompleted) break;
    ++completed;
  }
  return completed;
}

}  // namespace qef
