#include "exportfile/process_ef.h"

#include <algorithm>
#include <vector>

#include "exportfile/export_file.h"
#include "exportfile/repair.h"
#include "platform/file_functions.h"
#include "platform/window.h"
#include "progress/win_progress.h"

namespace qef {

namespace {

constexpr size_t kChunkSize = 64 * 1024;
// How many temporary names are tried before creating the copy is given up.
constexpr int kTemporaryNameTries = 100;

enum class CopyResult { kDone, kReadError, kWriteError };
enum class FileResult { kCompleted, kFailed, kCancelled };

void Warn(WinProgress& oWin, const std::string& text) { WarningBox(&oWin, "Error", text).Show(); }

// Creates the file the copy is written to until it is complete: a new file beside the output.
FHandle CreateTemporary(const std::string& output, std::string& temporary) {
  for (int attempt = 1; attempt <= kTemporaryNameTries; ++attempt) {
    temporary = output + ".partial" + (attempt == 1 ? "" : std::to_string(attempt));
    FHandle handle = FCreateNew(temporary);
    if (handle != F_ERROR) return handle;
  }
  return F_ERROR;
}

// Copies the records of one file. Holds one record at a time, and streams every body but a
// module name's in chunks, so memory does not grow with the file.
class RecordCopier {
 public:
  RecordCopier(FHandle input, FHandle output, int64_t input_size, const CharacterMap& map,
               ModuleNameList& module_names)
      : input_(input),
        output_(output),
        input_size_(input_size),
        map_(map),
        module_names_(module_names),
        chunk_(kChunkSize) {}

  CopyResult CopyRecord() {
    RecordHeader header;
    header.stored = FRead(input_, header.raw, kRecordHeaderSize);
    if (FError() != 0) return CopyResult::kReadError;
    if (!Write(header.raw, header.stored)) return CopyResult::kWriteError;
    if (header.IsFragment()) return CopyResult::kDone;

    uint32_t length = header.Length();
    if (length > static_cast<uint64_t>(input_size_)) return CopyRest();

    uint16_t type = header.Type();
    if (type == AEF_REC_MODNAME) return CopyModuleName(length);
    return CopyBody(length, IsNameRecord(type));
  }

 private:
  bool Write(const void* data, size_t size) { return FWrite(output_, data, size) == size; }

  // Reads up to `size` body bytes; a body cut short by the end of the file is filled with spaces.
  bool ReadBody(char* data, size_t size) {
    size_t got = reading_ ? FRead(input_, data, size) : 0;
    if (FError() != 0) return false;
    if (got < size) {
      std::fill(data + got, data + size, ' ');
      reading_ = false;
    }
    return true;
  }

  CopyResult CopyBody(uint32_t length, bool replace) {
    reading_ = true;
    for (uint32_t left = length; left > 0;) {
      size_t size = std::min<size_t>(left, chunk_.size());
      if (!ReadBody(chunk_.data(), size)) return CopyResult::kReadError;
      if (replace) map_.Apply(chunk_.data(), size);
      if (!Write(chunk_.data(), size)) return CopyResult::kWriteError;
      left -= static_cast<uint32_t>(size);
    }
    return CopyResult::kDone;
  }

  CopyResult CopyModuleName(uint32_t length) {
    reading_ = true;
    body_.resize(length);
    if (!ReadBody(body_.data(), length)) return CopyResult::kReadError;
    map_.Apply(body_);
    module_names_.MakeDistinctAndAdd(body_);
    return Write(body_.data(), body_.size()) ? CopyResult::kDone : CopyResult::kWriteError;
  }

  // A length longer than the whole file: the rest goes out as it stands and reading stops.
  CopyResult CopyRest() {
    while (true) {
      size_t got = FRead(input_, chunk_.data(), chunk_.size());
      if (FError() != 0) return CopyResult::kReadError;
      if (!Write(chunk_.data(), got)) return CopyResult::kWriteError;
      if (got < chunk_.size()) return CopyResult::kDone;
    }
  }

  FHandle input_;
  FHandle output_;
  int64_t input_size_;
  const CharacterMap& map_;
  ModuleNameList& module_names_;
  std::vector<char> chunk_;
  std::string body_;
  bool reading_ = true;
};

// The record loop: progress and pending window events once per record, until the end of the
// input or Cancel.
CopyResult CopyRecords(FHandle input, FHandle output, int64_t size, const CharacterMap& map,
                       ModuleNameList& module_names, WinProgress& oWin) {
  RecordCopier copier(input, output, size, map, module_names);
  while (!FEof(input) && !oWin.lAbort) {
    int64_t offset = FSeek(input, 0, 1);
    oWin.Progress().Position(static_cast<int>(offset * 100 / size));
    ApplicationExec(1);
    CopyResult result = copier.CopyRecord();
    if (result != CopyResult::kDone) return result;
    if (FEof(input)) break;
  }
  return CopyResult::kDone;
}

class RepairRun {
 public:
  RepairRun(WinProgress& oWin, const RepairSettings& settings) : oWin_(oWin), map_(settings) {}

  FileResult RepairFile(const std::string& path) {
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
    if (IsRepairedCopyName(path, separators)) {
      FClose(input);
      return Fail(path + " already has the extension .fix: its repaired copy would replace it," +
                  " so it is not processed");
    }
    auto same_output = [&](const std::string& written) { return SameFileName(written, output); };
    if (std::any_of(written_.begin(), written_.end(), same_output)) {
      FClose(input);
      return Fail(path + " would be repaired to " + output +
                  ", which this run has already written, so it is not processed");
    }

    std::string temporary;
    FHandle copy = CreateTemporary(output, temporary);
    if (copy == F_ERROR) {
      FClose(input);
      return Fail("Could not create " + output);
    }

    oWin_.Description(kDescriptionText);
    oWin_.Task(FileNamePart(path, separators));
    oWin_.Progress().Range(Range(1, 100));

    FSeek(input, 0, 0);
    CopyResult result = CopyRecords(input, copy, size, map_, module_names_, oWin_);
    FClose(input);
    bool written_out = FClose(copy);

    if (result == CopyResult::kReadError) return Discard(temporary, "Error reading " + path);
    if (result == CopyResult::kWriteError || !written_out) {
      return Discard(temporary, "Error writing " + output);
    }
    if (oWin_.lAbort) {
      FErase(temporary);
      return FileResult::kCancelled;
    }
    if (!FRename(temporary, output)) return Discard(temporary, "Could not create " + output);
    written_.push_back(output);
    return FileResult::kCompleted;
  }

 private:
  FileResult Fail(const std::string& text) {
    Warn(oWin_, text);
    return FileResult::kFailed;
  }

  FileResult Discard(const std::string& temporary, const std::string& text) {
    FErase(temporary);
    return Fail(text);
  }

  WinProgress& oWin_;
  CharacterMap map_;
  ModuleNameList module_names_;
  std::vector<std::string> written_;  // output names completed in this run
};

}  // namespace

uint32_t ProcessEF(const std::vector<std::string>& files, WinProgress& oWin) {
  RepairSettings settings = ReadRepairSettings();
  if (files.empty()) {
    Warn(oWin, "Cannot find file - no export file was chosen");
    return 0;
  }
  RepairRun run(oWin, settings);
  uint32_t completed = 0;
  for (const std::string& path : files) {
    if (run.RepairFile(path) != FileResult::kCompleted) break;
    ++completed;
  }
  return completed;
}

}  // namespace qef
