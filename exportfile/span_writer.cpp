#include "exportfile/span_writer.h"

#include <algorithm>
#include <cstring>

namespace qef {

namespace {

// A span shorter than this is written from the window: one more system call would cost more
// than the bytes it spares the program. So are the repaired names of a span when they lie
// closer together than this on average: one write each would cost more than the span.
constexpr uint64_t kKernelCopyMin = 16 * 1024;
// Repaired names waiting for their span to be copied: so many go out at once.
constexpr size_t kMaxPatches = 256;
constexpr size_t kMaxPatchBytes = 64 * 1024;

// Both follow the block, so that tests with small blocks take every path.
// The system copies spans that start and end at multiples of this (256 KiB) wherever it can:
// the page cache then copies its large pages whole. Spans cut at each repaired name made the
// copy a third slower; the repaired names are written over the copy instead.
int64_t CopyAlignment(size_t block_size) {
  return std::max<int64_t>(static_cast<int64_t>(block_size / 8), 1);
}
// A smaller file (32 MiB) is copied at once, without a second thread: starting, feeding and
// joining one cost more than the overlap gains below about this size (measured whole-process,
// files of 2 to 128 MiB), and everyday export files are far smaller.
int64_t WriteBehindMinimum(size_t block_size) { return static_cast<int64_t>(block_size) * 16; }

}  // namespace

SpanWriter::SpanWriter(FHandle output, FHandle input, size_t block_size, InputWindow& window,
                       CopyFailure& failure)
    : output_(output),
      input_(input),
      block_size_(block_size),
      window_(window),
      failure_(failure),
      span_start_(window.next()) {
  // Repaired names are written over the output where their input bytes went.
  if (output_ != kNoOutput) {
    output_shift_ = std::max<int64_t>(FSeek(output_, 0, 1), 0) - span_start_;
    // A large file is read beside its copy: the system copies the spans on one processor while
    // the loop reads and parses the blocks on the other. Read and written in turn, every byte
    // passes through the program twice, where the copy takes it once.
    if (window_.input_size() >= WriteBehindMinimum(block_size_)) window_.ReadBesideCopies();
  }
}

bool SpanWriter::Write(const char* data, size_t size) {
  if (output_ == kNoOutput || FWrite(output_, data, size) == size) return true;
  return OutputFailed();
}

// The output refused a write or a span copy: either side may have failed, since a copy done
// behind the loop shows its failure at a later call.
bool SpanWriter::OutputFailed() {
  return failure_.Fail(FError() == kFileReadFault ? CopyResult::kReadError
                                                  : CopyResult::kWriteError);
}

bool SpanWriter::WaitBehind() {
  if (!writing_behind_ || FWaitBehind(output_)) return true;
  // What the worker failed at lies before anything the loop found since.
  failure_.FailBefore(FError() == kFileReadFault ? CopyResult::kReadError
                                                 : CopyResult::kWriteError);
  return false;
}

bool SpanWriter::ViewEnding(int64_t next) {
  // Repaired names close together go out with their span from the window while it is there.
  return !PatchesDense(static_cast<uint64_t>(next - span_start_)) || FlushSpan(next);
}

bool SpanWriter::FlushSpan(int64_t end, bool exact) {
  if (output_ == kNoOutput) {
    span_start_ = std::max(span_start_, end);
    return true;
  }
  if (end <= span_start_) return WritePatches(span_start_);
  auto size = static_cast<uint64_t>(end - span_start_);
  if (window_.Holds(span_start_, end) &&
      (!window_.copies_spans() || size < kKernelCopyMin || PatchesDense(size))) {
    return WriteSpan(end);
  }
  // Read bytes go out from the window, where repaired names were written over them; only what
  // the loop passed over beyond it goes from file to file.
  const int64_t held = window_.end();
  if (!window_.copies_spans() && held > span_start_ && window_.Holds(span_start_, held) &&
      !WriteSpan(held)) {
    return false;
  }
  int64_t alignment = CopyAlignment(block_size_);
  int64_t stop = exact ? end : end - end % alignment;
  if (stop > span_start_) {
    // Off the alignment, the span goes in two copies, so the longer one starts on it.
    int64_t aligned = span_start_ + (alignment - span_start_ % alignment) % alignment;
    if (aligned > span_start_ && aligned < stop && !CopySpan(aligned)) return false;
    if (!CopySpan(stop)) return false;
  }
  return WritePatches(span_start_);
}

bool SpanWriter::CopySpan(int64_t end) {
  // From the first span the system copies, the output of a large file is written behind the loop
  // where it can be: the system copies the spans while the loop parses the records ahead, on two
  // processors at once. A file written all from memory gains nothing from it.
  if (!behind_tried_) {
    behind_tried_ = true;
    writing_behind_ =
        window_.input_size() >= WriteBehindMinimum(block_size_) && FWriteBehind(output_);
  }
  auto size = static_cast<uint64_t>(end - span_start_);
  int64_t start = span_start_;
  span_start_ = end;
  if (FCopySpan(output_, input_, start, size) == size) return true;
  // A span the file no longer holds was cut off after the file test.
  return failure_.Fail(FError() == kFileWriteFault ? CopyResult::kWriteError
                                                   : CopyResult::kReadError);
}

bool SpanWriter::PatchesDense(uint64_t span) const {
  return !patches_.empty() && patches_.size() * kKernelCopyMin > span;
}

bool SpanWriter::WriteSpan(int64_t end) {
  int64_t from = span_start_;
  span_start_ = end;
  int64_t at = from;  // the next byte of the window to write
  for (const Patch& patch : patches_) {
    int64_t start = std::max(patch.offset, from);
    int64_t stop = std::min(patch.offset + static_cast<int64_t>(patch.size), end);
    if (start >= stop) continue;
    if (!Write(window_.Data(at), static_cast<size_t>(start - at)) ||
        !Write(patch_bytes_.data() + patch.at + (start - patch.offset),
               static_cast<size_t>(stop - start))) {
      return false;
    }
    at = stop;
  }
  return Write(window_.Data(at), static_cast<size_t>(end - at)) && WritePatches(from);
}

bool SpanWriter::WritePatches(int64_t written_with_patches_from) {
  if (patches_.empty()) return true;
  size_t kept = 0;
  for (const Patch& patch : patches_) {
    int64_t end = patch.offset + static_cast<int64_t>(patch.size);
    if (end > span_start_) {
      patches_[kept++] = patch;  // its bytes are not all out yet
    } else if (patch.offset < written_with_patches_from &&
               FWriteAt(output_, patch.offset + output_shift_, patch_bytes_.data() + patch.at,
                        patch.size) != patch.size) {
      return OutputFailed();
    }
  }
  patches_.resize(kept);
  if (kept == 0) patch_bytes_.clear();
  return true;
}

bool SpanWriter::Substitute(int64_t offset, const char* data, size_t size) {
  if (std::memcmp(window_.Data(offset), data, size) == 0) return true;
  if (!window_.copies_spans()) {
    window_.Overwrite(offset, data, size);  // goes out with the span
    return true;
  }
  if (output_ == kNoOutput) return true;
  // After a short span, names close together: the span goes out from the window, then the name.
  if (patches_.empty() && offset - span_start_ < static_cast<int64_t>(kKernelCopyMin) &&
      window_.Holds(span_start_, offset)) {
    if (!Write(window_.Data(span_start_), static_cast<size_t>(offset - span_start_)) ||
        !Write(data, size)) {
      return false;
    }
    span_start_ = offset + static_cast<int64_t>(size);
    return true;
  }
  // Else it is written over the span once the span is out.
  patches_.push_back(Patch{offset, patch_bytes_.size(), size});
  patch_bytes_.append(data, size);
  if (patches_.size() < kMaxPatches && patch_bytes_.size() < kMaxPatchBytes) return true;
  return FlushSpan(offset + static_cast<int64_t>(size));
}

}  // namespace qef
