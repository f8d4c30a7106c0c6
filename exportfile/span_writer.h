#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "exportfile/copy_failure.h"
#include "exportfile/input_window.h"
#include "runtime/file_functions.h"

namespace qef {

// The output of a copier that reads and tells its observer but writes nothing (a dry run).
inline constexpr FHandle kNoOutput = F_ERROR;

// Writes the copy of the input that the record loop passes over. Unchanged bytes pile up in a
// span. Reading into the buffer, name bodies are repaired in place and the span is written from
// the buffer; what lies beyond it (a long body passed over) goes from input to output at once,
// from file to file (FCopySpan). Viewing the input, or reading a large one beside the copies,
// every span goes so; where the output can be written behind the loop (FWriteBehind), the
// system copies the spans on one processor while the loop parses on the other. A repaired name
// body does not break the span: it is written over the span's copy (FWriteAt) once the span is
// out, so spans can start and end where the system copies fastest. Names close together go out
// with a span written from the window instead.
//
// The span starts where the window does; it ends wherever the loop has got to, and it must be
// out before the window lets go of its bytes, which the window tells (WindowListener).
class SpanWriter : public WindowListener {
 public:
  SpanWriter(FHandle output, FHandle input, size_t block_size, InputWindow& window,
             CopyFailure& failure);

  // The first input byte not yet in the output; unchanged up to the window's next byte.
  int64_t span_start() const { return span_start_; }
  // The input before `start` is in the output, written by the caller: the span starts there.
  void SetSpanStart(int64_t start) { span_start_ = start; }

  // Writes out the input before `end`, with the repaired names over it. Not `exact`: the span
  // may stop short, at an alignment boundary, and the rest waits for the next.
  bool FlushSpan(int64_t end, bool exact = true);
  // The output takes `size` bytes of `data` in place of the input's at `offset`, which lie in
  // the window.
  bool Substitute(int64_t offset, const char* data, size_t size);
  // Writes bytes of the caller's own at the output's end (the span must be out).
  bool Write(const char* data, size_t size);
  // Waits for what is written behind the loop; false, with its failure, when some of it failed.
  bool WaitBehind();

  bool ViewEnding(int64_t next) override;
  bool BytesLeaving(int64_t next) override { return FlushSpan(next); }

 private:
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
  bool OutputFailed();

  FHandle output_;
  FHandle input_;
  size_t block_size_;
  InputWindow& window_;
  CopyFailure& failure_;

  int64_t output_shift_ = 0;     // the output's offset of an input byte, less the input's
  int64_t span_start_ = 0;       // the first input byte not yet in the output
  bool behind_tried_ = false;    // the output was offered to be written behind the loop
  bool writing_behind_ = false;  // and it is

  // A repaired name body that differs from the input, waiting for its span: its offset in
  // the input (and the output), and its bytes in patch_bytes_.
  struct Patch {
    int64_t offset;
    size_t at;
    size_t size;
  };
  std::vector<Patch> patches_;
  std::string patch_bytes_;
};

}  // namespace qef
