#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "exportfile/copy_failure.h"
#include "exportfile/input_window.h"
#include "exportfile/record_observer.h"
#include "exportfile/repair.h"
#include "exportfile/span_writer.h"
#include "runtime/file_functions.h"

namespace qef {

class WinProgress;

// The size of the copier's window on the input: the blocks it views or reads. Tests make it
// small, so that records straddle blocks.
inline constexpr size_t kDefaultCopyBlockSize = 2 << 20;
void SetCopyBlockSize(size_t bytes);

// The record loop of the repair: copies an export file from its start to its end, record by
// record, repairing the bodies of the name records, with the window's progress and pending
// events once per record, until the end of the input or Cancel. It looks at the input through an
// InputWindow and writes the copy through a SpanWriter.
//
// Only a module name must lie whole in memory (it is compared with the earlier ones), and an
// application name when its name is checked or strictly repaired (the rules look at its end);
// every other body streams, so memory does not grow with the file. A name body longer than the
// window gets memory of its own, never more than the file's size.
//
// An observer, when given, is told about every record and name body; without one the loop does
// no work for it beyond a test per record.
class RecordCopier {
 public:
  RecordCopier(FHandle input, FHandle output, int64_t input_size, const CharacterMap& map,
               ModuleNameList& module_names, WinProgress& oWin, RecordObserver* observer = nullptr,
               bool strict_names = false);
  ~RecordCopier();
  CopyResult Run();

 private:
  // Each false on a failure, noted in failure_, which Run reads.
  bool CopyRecords();
  bool CopyRecord(int64_t offset);
  bool CopyBody(uint32_t length, bool replace);
  bool CopyWholeName(uint32_t length, bool module);
  bool CopyRest();
  // A whole name body: the replacement, the strict repair, the module counter, the name check.
  // `offset` is the record's.
  void RepairName(std::string& body, bool module, int64_t offset);
  void CheckName(std::string_view body);
  void CheckModuleName(std::string_view body, int64_t offset);
  // Replaces the bad characters of a piece of a name body in place.
  void Repair(char* data, size_t size);
  void Report(int64_t offset, uint16_t type, uint32_t length, RecordShape shape, uint64_t size);
  void ReportFragment(int64_t offset);

  const CharacterMap& map_;
  ModuleNameList& module_names_;
  WinProgress& oWin_;
  RecordObserver* observer_;
  bool strict_names_;
  bool check_names_;              // the observer wants to hear of invalid and duplicate names
  ReaderNameIndex reader_names_;  // while checking names: the copy's, as other readers see them

  CopyFailure failure_;
  InputWindow window_;
  SpanWriter writer_;

  int64_t percent_ = 0;          // of the input before the window's next byte, for the progress bar
  int64_t next_percent_at_ = 0;  // the first offset with a higher percentage
  std::string piece_;            // a piece of a name body, repaired
  std::string whole_name_;       // a name held whole, kept so its memory serves the next one
  std::string large_body_;       // a name too long for the window

  // What the observer is told about the record under way.
  uint32_t missing_ = 0;    // body bytes taken as spaces
  uint64_t rest_size_ = 0;  // bytes copied unchanged after a length beyond the file
  bool duplicate_ = false;  // a module name still equal to an earlier one
  std::string before_;      // a name body as read
};

}  // namespace qef
