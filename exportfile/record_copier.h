#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "exportfile/copy_failure.h"
#include "exportfile/record_observer.h"
#include "exportfile/repair.h"
#include "runtime/file_functions.h"

namespace qef {

class WinProgress;

// The size of the copier's window on the input: the blocks it views or reads. Tests make it
// small, so that records straddle blocks.
inline constexpr size_t kDefaultCopyBlockSize = 2 << 20;
void SetCopyBlockSize(size_t bytes);

// The output of a copier that reads and tells its observer but writes nothing (a dry run).
inline constexpr FHandle kNoOutput = F_ERROR;

// The record loop of the repair: copies an export file from its start to its end, record by
// record, repairing the bodies of the name records, with the window's progress and pending
// events once per record, until the end of the input or Cancel.
//
// The loop looks at the input through a window of one block: a view of the file where the file
// system has views, else a buffer it reads into. Only what must be parsed is looked at: record
// headers and name bodies. Unchanged bytes pile up in a span that goes from input to output at
// once, from file to file (FCopySpan), so most bytes never pass through the program; where the
// output can be written behind the loop (FWriteBehind), the system copies the spans on one
// processor while the loop parses on the other. A repaired name body does not break the span:
// it is written over the span's copy (FWriteAt) once the span is out, so spans can start and end
// where the system copies fastest. Names close together go out with a span written from the
// window instead. Reading into the buffer, name bodies are repaired in place and the span is
// written from the buffer.
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
  // A whole name body: the replacement, the strict repair, the module counter, the name check.
  // `offset` is the record's.
  void RepairName(std::string& body, bool module, int64_t offset);
  void CheckName(std::string_view body);
  void CheckModuleName(std::string_view body, int64_t offset);
  bool CopyRest();
  // Replaces the bad characters of a piece of a name body in place.
  void Repair(char* data, size_t size);
  void Report(int64_t offset, uint16_t type, uint32_t length, RecordShape shape, uint64_t size);
  void ReportFragment(int64_t offset);
  bool Write(const char* data, size_t size);
  bool OutputFailed();

  // The bytes of the window from the next input byte on, and where they are.
  size_t Available() const {
    int64_t end = window_offset_ + static_cast<int64_t>(window_size_);
    return next_ >= window_offset_ && next_ < end ? static_cast<size_t>(end - next_) : 0;
  }
  const char* At() const { return window_ + (next_ - window_offset_); }
  // Makes at least `count` bytes available, moving the window on; false when the input ends
  // first (what there is is then available) or on a failure.
  bool Ensure(size_t count) { return Available() >= count || MoveWindow(count); }
  bool MoveWindow(size_t count);
  bool EnsureViewed(size_t count);
  // Lets the view go; false, with a read failure, when a part of it could not be read.
  bool DropView();
  bool EnsureRead(size_t count);
  // The output takes `size` bytes of `data` in place of the input's at `offset`, which lie in
  // the window.
  bool Substitute(int64_t offset, const char* data, size_t size);
  // Writes out the input before `end`, with the repaired names over it. Not `exact`: the span
  // may stop short, at an alignment boundary, and the rest waits for the next.
  bool FlushSpan(int64_t end, bool exact = true);
  // The span up to `end`: copied from file to file, or written from the window with the
  // repaired names in it.
  bool CopySpan(int64_t end);
  bool WriteSpan(int64_t end);
  // The repaired names waiting in a span this long lie closer together than a write each is
  // worth: they go out with the span from the window.
  bool PatchesDense(uint64_t span) const;
  // Writes the repaired names whose bytes are out, but those that went out with their span
  // from `written_with_patches_from` on.
  bool WritePatches(int64_t written_with_patches_from);
  // Marks a read failure when the input ended at `end`, before the size the file test found.
  bool EndedEarly(int64_t end);

  FHandle input_;
  FHandle output_;
  int64_t input_size_;
  const CharacterMap& map_;
  ModuleNameList& module_names_;
  WinProgress& oWin_;
  RecordObserver* observer_;
  bool strict_names_;
  bool check_names_;              // the observer wants to hear of invalid and duplicate names
  ReaderNameIndex reader_names_;  // while checking names: the copy's, as other readers see them
  CopyFailure failure_;

  bool viewing_ = true;             // until the file system turns out to have no views
  std::unique_ptr<FileView> view_;  // the window, while viewing
  std::vector<char> buffer_;        // the window, while reading
  const char* window_ = nullptr;
  int64_t window_offset_ = 0;  // the input offset of window_[0]
  size_t window_size_ = 0;
  int64_t next_ = 0;          // the input offset of the next byte to take
  int64_t output_shift_ = 0;  // the output's offset of an input byte, less the input's
  int64_t span_start_ = 0;    // the first input byte not yet in the output; unchanged up to next_
  int64_t percent_ = 0;       // of the input before next_, for the progress bar
  int64_t next_percent_at_ = 0;  // the first offset with a higher percentage
  bool input_ended_ = false;
  bool behind_tried_ = false;    // the output was offered to be written behind the loop
  bool writing_behind_ = false;  // and it is
  std::string piece_;            // a piece of a name body, repaired
  std::string whole_name_;       // a name held whole, kept so its memory serves the next one
  std::string large_body_;       // a name too long for the window

  // A repaired name body that differs from the input, waiting for its span: its offset in
  // the input (and the output), and its bytes in patch_bytes_.
  struct Patch {
    int64_t offset;
    size_t at;
    size_t size;
  };
  std::vector<Patch> patches_;
  std::string patch_bytes_;

  // What the observer is told about the record under way.
  uint32_t missing_ = 0;    // body bytes taken as spaces
  uint64_t rest_size_ = 0;  // bytes copied unchanged after a length beyond the file
  bool duplicate_ = false;  // a module name still equal to an earlier one
  std::string before_;      // a name body as read
};

}  // namespace qef
