#include "exportfile/process_ef.h"

#include <algorithm>
#include <optional>
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

// Creates the file the copy is written to until it is complete: a new file beside the output,
// or one in place of a stale file of that name that a killed run left; the next name only when
// another run is writing under this one.
FHandle CreateTemporary(const std::string& output, std::string& temporary) {
  for (int attempt = 1; attempt <= kTemporaryNameTries; ++attempt) {
    temporary = output + ".partial" + (attempt == 1 ? "" : std::to_string(attempt));
    FHandle handle = FCreateTemporary(temporary);
    if (handle != F_ERROR) return handle;
  }
  return F_ERROR;
}

}  // namespace

FileResult RepairRun::RepairFile(const std::string& path) {
  module_names_.Clear();

  FHandle input = FOpen(path, FO_READ);
  if (input == F_ERROR) return Fail("Error reading " + path);

  int64_t size = 0;
  switch (TestExportFile(input, size)) {
    case FileTest::kAccepted:
      break;
    case FileTest::kNotExportFile:
      FClose(input);
      return Fail(path + " is not a valid Export File");
    case FileTest::kCompressed:
      FClose(input);
      return Fail(path + " is a compressed Export File and cannot be processed");
    case FileTest::kReadError:
      FClose(input);
      return Fail("Error reading " + path);
  }

  std::string separators(PathSeparators());
  std::string output = OutputName(path, separators);
  const FileIdentity entry = FIdentifyEntry(output).value_or(FileIdentity{0, 0, output});
  if (mode_ != RunMode::kReadOnly) {
    if (IsRepairedCopyName(path, separators)) {
      FClose(input);
      return Fail(path + " already has the extension .fix: its repaired copy would replace it," +
                  " so it is not processed");
    }
    // Whatever the paths say, the copies of one run must land in distinct folder entries.
    if (written_.count(entry) != 0) {
      FClose(input);
      return Fail(
          path + " would be repaired to " + output +
          (mode_ == RunMode::kWrite
               ? ", which this run has already written, so it is not processed"
               : ", the copy of an earlier file of this run, so it would not be processed"));
    }
    // Through a link the input may be its own copy, which the copy would then replace.
    std::optional<FileIdentity> input_file = FIdentifyFile(path);
    if (input_file && input_file == FIdentifyFile(output)) {
      FClose(input);
      return Fail(path + " is the same file as its repaired copy " + output +
                  ", which would replace it, so it is not processed");
    }
  }

  std::string temporary;
  FHandle copy = kNoOutput;
  if (mode_ == RunMode::kWrite) {
    copy = CreateTemporary(output, temporary);
    if (copy == F_ERROR) {
      int error = FError();
      FClose(input);
      return Fail("Could not create " + output, error);
    }
    // As private as the input: its names may be nobody else's business.
    FTakePermissions(copy, input);
  }

  CopyResult result;
  try {
    oWin_.Description(kDescriptionText);
    oWin_.Task(FileNamePart(path, separators));
    oWin_.Progress().Range(Range(1, 100));

    FSeek(input, 0, 0);
    result =
        RecordCopier(input, copy, size, map_, module_names_, oWin_, observer_, strict_names_).Run();
  } catch (...) {
    // A run-time error or an exception ends the run further up; no half copy may stay behind.
    FClose(input);
    if (copy != kNoOutput) {
      FClose(copy);
      FErase(temporary);
    }
    throw;
  }
  FClose(input);
  bool written_out = copy == kNoOutput || FClose(copy);
  int write_error = written_out ? 0 : FSystemError();

  if (result == CopyResult::kReadError) return Discard(temporary, "Error reading " + path);
  if (result == CopyResult::kWriteError || !written_out) {
    return Discard(temporary, "Error writing " + output, write_error);
  }
  if (oWin_.lAbort) {
    if (copy != kNoOutput) FErase(temporary);
    return FileResult::kCancelled;
  }
  if (copy != kNoOutput && !FRename(temporary, output)) {
    return Discard(temporary, "Could not create " + output, FError());
  }
  written_.insert(entry);
  return FileResult::kCompleted;
}

FileResult RepairRun::Fail(const std::string& text, int system_error) {
  failure_ = text;
  failure_reason_ = system_error != 0 ? FErrorText(system_error) : "";
  return FileResult::kFailed;
}

FileResult RepairRun::Discard(const std::string& temporary, const std::string& text,
                              int system_error) {
  if (!temporary.empty()) FErase(temporary);
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
