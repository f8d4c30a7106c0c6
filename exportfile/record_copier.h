#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "exportfile/record_observer.h"
#include "runtime/file_functions.h"

namespace qef {

class CharacterMap;
class ModuleNameList;
class WinProgress;

enum class CopyResult { kDone, kReadError, kWriteError };

// The size of the blocks the copier reads and writes. Tests make it small, so that records
// straddle blocks.
inline constexpr size_t kDefaultCopyBlockSize = 1 << 19;
void SetCopyBlockSize(size_t bytes);

// The output of a copier that reads and tells its observer but writes nothing (a dry run).
inline constexpr FHandle kNoOutput = F_ERROR;

// The record loop of the repair: copies an export file from its start to its end, record by
// record, repairing the bodies of the name records, with the window's progress and pending
// events once per record, until the end of the input or Cancel.
//
// The input is read in large blocks into one buffer; name bodies are repaired in place there
// and the block is written from the same memory, so no byte is copied inside the program. Only
// a module name must lie whole in memory (it is compared with the earlier ones), and an
// application name when its name is checked or strictly repaired (the rules look at its end);
// every other body streams through the buffer, so memory does not grow with the file. A name
// body longer than the buffer gets memory of its own, never more than the file's size.
//
// An observer, when given, is told about every record and name body; without one the loop does
// no work for it beyond a test per record.
class RecordCopier {
 public:
  RecordCopier(FHandle input, FHandle output, int64_t input_size, const CharacterMap& map,
               ModuleNameList& module_names, WinProgress& oWin, RecordObserver* observer = nullptr,
               bool strict_names = false);
  CopyResult Run();

 private:
  CopyResult CopyRecord(int64_t offset);
  CopyResult CopyBody(uint32_t length, bool replace);
  CopyResult CopyWholeName(uint32_t length, bool module);
  // A whole name body: the replacement, the strict repair, the module counter, the name check.
  void RepairName(std::string& body, bool module);
  void CheckName(std::string_view body);
  CopyResult CopyRest();
  // Replaces the bad characters of a piece of a name body in place.
  void Repair(char* data, size_t size);
  void Report(int64_t offset, uint16_t type, uint32_t length, RecordShape shape, uint64_t size);
  void ReportFragment(int64_t offset);
  bool Write(const char* data, size_t size);
  // Makes at least `count` unread bytes lie in the buffer, reading more when needed; false when
  // the input ends first (what there is then lies at the start of the buffer).
  bool Ensure(size_t count);
  // Writes what is read and not yet written.
  bool Flush();
  // Marks a read failure when the input ended at `end`, before the size the file test found.
  bool EndedEarly(int64_t end);
  // What went wrong in Ensure or Flush, kDone when nothing did.
  CopyResult Failure() const;

  FHandle input_;
  FHandle output_;
  int64_t input_size_;
  const CharacterMap& map_;
  ModuleNameList& module_names_;
  WinProgress& oWin_;
  RecordObserver* observer_;
  bool strict_names_;
  bool check_names_;  // the observer wants to hear of invalid names

  std::vector<char> buffer_;
  int64_t buffer_offset_ = 0;  // the input offset of buffer_[0]
  size_t filled_ = 0;          // bytes of the input in the buffer
  size_t next_ = 0;            // the first byte not yet copied
  size_t written_ = 0;         // the first byte not yet written out
  bool input_ended_ = false;
  bool read_failed_ = false;
  bool write_failed_ = false;
  std::string large_body_;  // a name too long for the buffer

  // What the observer is told about the record under way.
  uint32_t missing_ = 0;    // body bytes taken as spaces
  uint64_t rest_size_ = 0;  // bytes copied unchanged after a length beyond the file
  bool duplicate_ = false;  // a module name still equal to an earlier one
  std::string before_;      // a name body as read
};

}  // namespace qef
