#include "exportfile/record_copier.h"

#include <algorithm>
#include <cstring>

#include "exportfile/export_file.h"
#include "exportfile/name_rules.h"
#include "exportfile/record_frame.h"
#include "exportfile/repair.h"
#include "progress/win_progress.h"
#include "ui/window.h"

namespace qef {

namespace {
size_t block_size = kDefaultCopyBlockSize;

// A span shorter than this is written from the window: one more system call would cost more
// than the bytes it spares the program. So are the repaired names of a span when they lie
// closer together than this on average: one write each would cost more than the span.
constexpr uint64_t kKernelCopyMin = 16 * 1024;
// Repaired names waiting for their span to be copied: so many go out at once.
constexpr size_t kMaxPatches = 256;
constexpr size_t kMaxPatchBytes = 64 * 1024;

// Both follow the block, so that tests with small blocks take every path.
// A longer span goes out at the next record (1 MiB), so that progress and Cancel never wait on
// more than this at once beyond the record under way, and the copy starts early.
int64_t MaxSpan() { return static_cast<int64_t>(block_size / 2); }
// The system copies spans that start and end at multiples of this (256 KiB) wherever it can:
// the page cache then copies its large pages whole. Spans cut at each repaired name made the
// copy a third slower; the repaired names are written over the copy instead.
int64_t CopyAlignment() { return std::max<int64_t>(static_cast<int64_t>(block_size / 8), 1); }
// A smaller file (32 MiB) is copied at once, without a second thread: starting, feeding and
// joining one cost more than the overlap gains below about this size (measured whole-process,
// files of 2 to 128 MiB), and everyday export files are far smaller.
int64_t WriteBehindMinimum() { return static_cast<int64_t>(block_size) * 16; }
}  // namespace

void SetCopyBlockSize(size_t bytes) { block_size = std::max(bytes, kRecordHeaderSize); }

RecordCopier::RecordCopier(FHandle input, FHandle output, int64_t input_size,
                           const CharacterMap& map, ModuleNameList& module_names, WinProgress& oWin,
                           RecordObserver* observer, bool strict_names)
    : input_(input),
      output_(output),
      input_size_(input_size),
      map_(map),
      module_names_(module_names),
      oWin_(oWin),
      observer_(observer),
      strict_names_(strict_names),
      check_names_(observer != nullptr && observer->ChecksNames()) {
  // Where the copier starts, the run-time's read-ahead of the file test leaves off.
  next_ = span_start_ = window_offset_ = std::max<int64_t>(FSeek(input_, 0, 1), 0);
  // Repaired names are written over the output where their input bytes went.
  if (output_ != kNoOutput) output_shift_ = std::max<int64_t>(FSeek(output_, 0, 1), 0) - next_;
}

RecordCopier::~RecordCopier() = default;

bool RecordCopier::Write(const char* data, size_t size) {
  if (output_ == kNoOutput || FWrite(output_, data, size) == size) return true;
  return OutputFailed();
}

// The output refused a write or a span copy: either side may have failed, since a copy done
// behind the loop shows its failure at a later call.
bool RecordCopier::OutputFailed() {
  return failure_.Fail(FError() == kFileReadFault ? CopyResult::kReadError
                                                  : CopyResult::kWriteError);
}

void RecordCopier::Repair(char* data, size_t size) {
  if (observer_ == nullptr) {
    map_.Apply(data, size);
    return;
  }
  before_.assign(data, size);
  map_.Apply(data, size);
  observer_->NameBody(before_, std::string_view(data, size));
}

void RecordCopier::Report(int64_t offset, uint16_t type, uint32_t length, RecordShape shape,
                          uint64_t size) {
  RecordInfo record;
  record.offset = offset;
  // Rebuilt from the values: a framing copy kept for the observer would make the hot path
  // read the length back through the stack.
  EncodeRecordFrame({type, length}, record.header.raw);
  record.header.stored = kRecordHeaderSize;
  record.shape = shape;
  record.size = size;
  record.missing = missing_;
  record.duplicate = duplicate_;
  observer_->Record(record);
}

void RecordCopier::ReportFragment(int64_t offset) {
  RecordInfo record;
  record.offset = offset;
  record.header.stored = Available();
  std::memcpy(record.header.raw, At(), record.header.stored);
  record.shape = RecordShape::kFragment;
  record.size = record.header.stored;
  observer_->Record(record);
}

bool RecordCopier::FlushSpan(int64_t end, bool exact) {
  if (output_ == kNoOutput) {
    span_start_ = std::max(span_start_, end);
    return true;
  }
  if (end > span_start_) {
    auto size = static_cast<uint64_t>(end - span_start_);
    bool in_window =
        span_start_ >= window_offset_ && end <= window_offset_ + static_cast<int64_t>(window_size_);
    if (in_window && (!viewing_ || size < kKernelCopyMin || PatchesDense(size))) {
      return WriteSpan(end);
    }
    int64_t alignment = CopyAlignment();
    int64_t stop = exact ? end : end - end % alignment;
    if (stop > span_start_) {
      // Off the alignment, the span goes in two copies, so the longer one starts on it.
      int64_t aligned = span_start_ + (alignment - span_start_ % alignment) % alignment;
      if (aligned > span_start_ && aligned < stop && !CopySpan(aligned)) return false;
      if (!CopySpan(stop)) return false;
    }
  }
  return WritePatches(span_start_);
}

bool RecordCopier::CopySpan(int64_t end) {
  // From the first span the system copies, the output of a large file is written behind the loop
  // where it can be: the system copies the spans while the loop parses the records ahead, on two
  // processors at once. A file written all from memory gains nothing from it.
  if (!behind_tried_) {
    behind_tried_ = true;
    writing_behind_ = input_size_ >= WriteBehindMinimum() && FWriteBehind(output_);
  }
  auto size = static_cast<uint64_t>(end - span_start_);
  int64_t start = span_start_;
  span_start_ = end;
  if (FCopySpan(output_, input_, start, size) == size) return true;
  // A span the file no longer holds was cut off after the file test.
  return failure_.Fail(FError() == kFileWriteFault ? CopyResult::kWriteError
                                                   : CopyResult::kReadError);
}

bool RecordCopier::PatchesDense(uint64_t span) const {
  return !patches_.empty() && patches_.size() * kKernelCopyMin > span;
}

bool RecordCopier::WriteSpan(int64_t end) {
  int64_t from = span_start_;
  span_start_ = end;
  int64_t at = from;  // the next byte of the window to write
  for (const Patch& patch : patches_) {
    int64_t start = std::max(patch.offset, from);
    int64_t stop = std::min(patch.offset + static_cast<int64_t>(patch.size), end);
    if (start >= stop) continue;
    if (!Write(window_ + (at - window_offset_), static_cast<size_t>(start - at)) ||
        !Write(patch_bytes_.data() + patch.at + (start - patch.offset),
               static_cast<size_t>(stop - start))) {
      return false;
    }
    at = stop;
  }
  return Write(window_ + (at - window_offset_), static_cast<size_t>(end - at)) &&
         WritePatches(from);
}

bool RecordCopier::WritePatches(int64_t written_with_patches_from) {
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

bool RecordCopier::Substitute(int64_t offset, const char* data, size_t size) {
  size_t at = static_cast<size_t>(offset - window_offset_);
  if (std::memcmp(window_ + at, data, size) == 0) return true;
  if (!viewing_) {
    std::memcpy(buffer_.data() + at, data, size);  // goes out with the span
    return true;
  }
  if (output_ == kNoOutput) return true;
  // After a short span, names close together: the span goes out from the window, then the name.
  if (patches_.empty() && offset - span_start_ < static_cast<int64_t>(kKernelCopyMin) &&
      span_start_ >= window_offset_) {
    if (!Write(window_ + (span_start_ - window_offset_),
               static_cast<size_t>(offset - span_start_)) ||
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

// The file test took the size; a file that ends before it was cut while being copied, and a
// copy of it would pass for complete.
bool RecordCopier::EndedEarly(int64_t end) {
  if (end < input_size_) failure_.Fail(CopyResult::kReadError);
  return end < input_size_;
}

bool RecordCopier::MoveWindow(size_t count) {
  if (input_ended_) return false;
  return viewing_ ? EnsureViewed(count) : EnsureRead(count);
}

bool RecordCopier::DropView() {
  bool intact = view_ == nullptr || view_->Intact();
  view_.reset();
  window_size_ = 0;
  // What was taken from a part that could not be read is worthless: the copy fails.
  if (!intact) return failure_.Fail(CopyResult::kReadError);
  return true;
}

bool RecordCopier::EnsureViewed(size_t count) {
  // Repaired names close together go out with their span from the window while it is there.
  if (PatchesDense(static_cast<uint64_t>(next_ - span_start_)) && !FlushSpan(next_)) return false;
  if (!DropView()) return false;
  size_t wanted = std::max(block_size, count);
  view_ = FView(input_, next_, wanted);
  if (view_ == nullptr) {
    // No views here: read from now on.
    viewing_ = false;
    if (!FlushSpan(next_)) return false;
    if (FSeek(input_, next_, 0) != next_) return failure_.Fail(CopyResult::kReadError);
    window_offset_ = next_;
    return EnsureRead(count);
  }
  window_ = view_->data();
  window_offset_ = next_;
  window_size_ = view_->size();
  if (window_size_ < wanted) {
    input_ended_ = true;
    if (EndedEarly(window_offset_ + static_cast<int64_t>(window_size_))) return false;
  }
  return window_size_ >= count;
}

bool RecordCopier::EnsureRead(size_t count) {
  if (buffer_.size() < block_size) buffer_.resize(block_size);
  // Everything before next_ leaves the buffer: it must be out first.
  if (!FlushSpan(next_)) return false;
  size_t keep = Available();
  if (keep > 0) std::memmove(buffer_.data(), At(), keep);
  window_ = buffer_.data();
  window_offset_ = next_;
  window_size_ = keep;
  while (window_size_ < count && !input_ended_) {
    size_t wanted = buffer_.size() - window_size_;
    size_t got = FRead(input_, buffer_.data() + window_size_, wanted);
    if (FError() != 0) return failure_.Fail(CopyResult::kReadError);
    window_size_ += got;
    if (got < wanted) {
      input_ended_ = true;
      if (EndedEarly(window_offset_ + static_cast<int64_t>(window_size_))) return false;
    }
  }
  return window_size_ >= count;
}

CopyResult RecordCopier::Run() {
  CopyRecords();
  if (writing_behind_ && !FWaitBehind(output_)) {
    // What the worker failed at lies before anything the loop found since.
    failure_.FailBefore(FError() == kFileReadFault ? CopyResult::kReadError
                                                   : CopyResult::kWriteError);
  }
  return failure_.kind();
}

bool RecordCopier::CopyRecords() {
  while (!oWin_.lAbort) {
    if (!Ensure(1)) {
      if (failure_.failed()) return false;
      break;
    }
    if (next_ - span_start_ >= MaxSpan() && !FlushSpan(next_, false)) return false;
    int64_t offset = next_;
    // The percentage changes a hundred times a file: worked out again only then, not with a
    // division per record.
    if (offset >= next_percent_at_) {
      percent_ = offset * 100 / input_size_;
      next_percent_at_ = ((percent_ + 1) * input_size_ + 99) / 100;
    }
    oWin_.Progress().Position(static_cast<int>(percent_));
    ApplicationExec(1);
    if (!CopyRecord(offset)) return false;
  }
  return FlushSpan(next_) && DropView();
}

// Inlined into the loop: a call per record made a file of tiny records a tenth slower.
[[gnu::always_inline]] inline bool RecordCopier::CopyRecord(int64_t offset) {
  missing_ = 0;
  duplicate_ = false;
  if (!Ensure(kRecordHeaderSize)) {
    if (failure_.failed()) return false;
    if (observer_ != nullptr) ReportFragment(offset);
    next_ += static_cast<int64_t>(Available());  // a trailing fragment goes out as it stands
    return true;
  }
  const auto [type, length] = DecodeRecordFrame(At());
  if (length > static_cast<uint64_t>(input_size_)) {
    if (!CopyRest()) return false;
    if (observer_ != nullptr) Report(offset, type, length, RecordShape::kRestCopied, rest_size_);
    return true;
  }
  next_ += kRecordHeaderSize;
  if (type == AEF_REC_MODNAME || (type == AEF_REC_APPNAME && (strict_names_ || check_names_))) {
    if (!CopyWholeName(length, type == AEF_REC_MODNAME)) return false;
  } else if (!IsNameRecord(type) && viewing_ && next_ + length <= input_size_) {
    // A viewed body that needs no change is not looked at: the span takes it. Should the file
    // have been cut since its test, the span's copy finds out.
    next_ += length;
  } else if (!CopyBody(length, IsNameRecord(type))) {
    return false;
  }
  if (observer_ != nullptr) {
    Report(offset, type, length, missing_ == 0 ? RecordShape::kWhole : RecordShape::kPadded,
           kRecordHeaderSize + length - missing_);
  }
  return true;
}

bool RecordCopier::CopyBody(uint32_t length, bool replace) {
  for (size_t left = length; left > 0;) {
    if (Available() == 0 && !Ensure(1)) {
      if (failure_.failed()) return false;
      // A body cut short by the end of the file is completed with spaces.
      missing_ = static_cast<uint32_t>(left);
      if (!FlushSpan(next_)) return false;
      while (left > 0) {
        size_t size = std::min(left, block_size);
        piece_.assign(size, ' ');
        if (replace) Repair(piece_.data(), size);
        if (!Write(piece_.data(), size)) return false;
        left -= size;
      }
      return true;
    }
    size_t size = std::min(left, Available());
    if (replace) {
      piece_.assign(At(), size);
      Repair(piece_.data(), size);
      if (!Substitute(next_, piece_.data(), size)) return false;
    }
    next_ += static_cast<int64_t>(size);
    left -= size;
  }
  return true;
}

void RecordCopier::RepairName(std::string& body, bool module, int64_t offset) {
  if (observer_ != nullptr) before_ = body;
  map_.Apply(body);
  if (strict_names_) {
    StrictRepairName(body);
    if (module) duplicate_ = !module_names_.MakeNameDistinctAndAdd(body);
    // The counter may write a digit over a mended name (COM- becomes COM1).
    CheckName(body);
  } else {
    CheckName(body);
    if (module) duplicate_ = !module_names_.MakeDistinctAndAdd(body);
  }
  if (module && check_names_) CheckModuleName(body, offset);
  if (observer_ != nullptr) observer_->NameBody(before_, body);
}

void RecordCopier::CheckModuleName(std::string_view body, int64_t offset) {
  int64_t earlier = reader_names_.Add(body, offset);
  // A body equal to an earlier one is a duplicate already; an empty name is an invalid one.
  if (earlier >= 0 && !duplicate_) {
    observer_->DuplicateName(body.substr(0, NameLength(body)), earlier);
  }
}

void RecordCopier::CheckName(std::string_view body) {
  if (!check_names_) return;
  std::string_view name = body.substr(0, NameLength(body));
  std::string reason = InvalidNameReason(name);
  if (!reason.empty()) observer_->InvalidName(name, reason);
}

bool RecordCopier::CopyWholeName(uint32_t length, bool module) {
  const int64_t offset = next_ - static_cast<int64_t>(kRecordHeaderSize);
  if (length <= block_size) {
    std::string& body = whole_name_;
    size_t stored = length;
    if (!Ensure(length)) {
      if (failure_.failed()) return false;
      // Cut short by the end of the file: the rest is taken as spaces.
      stored = Available();
      missing_ = static_cast<uint32_t>(length - stored);
    }
    body.assign(At(), stored);
    body.resize(length, ' ');
    RepairName(body, module, offset);
    if (missing_ == 0) {
      if (!Substitute(next_, body.data(), length)) return false;
    } else {
      if (!FlushSpan(next_) || !Write(body.data(), length)) return false;
      span_start_ = next_ + static_cast<int64_t>(stored);
    }
    next_ += static_cast<int64_t>(stored);
    return true;
  }
  // Longer than a block: gathered in memory of its own (never more than the file's size).
  if (!FlushSpan(next_) || !DropView()) return false;
  window_offset_ = next_;
  large_body_.assign(length, ' ');
  if (FSeek(input_, next_, 0) != next_) return failure_.Fail(CopyResult::kReadError);
  size_t got = FRead(input_, large_body_.data(), length);
  if (FError() != 0) return failure_.Fail(CopyResult::kReadError);
  next_ += static_cast<int64_t>(got);
  window_offset_ = span_start_ = next_;
  if (got < length) {
    input_ended_ = true;
    missing_ = static_cast<uint32_t>(length - got);
    if (EndedEarly(next_)) return false;
  }
  RepairName(large_body_, module, offset);
  return Write(large_body_.data(), length);
}

// A length longer than the whole file: the rest goes out as it stands and reading stops.
bool RecordCopier::CopyRest() {
  int64_t start = next_;
  next_ += static_cast<int64_t>(Available());
  if (!FlushSpan(next_)) return false;
  if (!input_ended_) {
    if (viewing_) {
      if (!DropView()) return false;
      if (FSeek(input_, next_, 0) != next_) return failure_.Fail(CopyResult::kReadError);
    }
    if (buffer_.size() < block_size) buffer_.resize(block_size);
    while (!input_ended_) {
      size_t got = FRead(input_, buffer_.data(), buffer_.size());
      if (FError() != 0) return failure_.Fail(CopyResult::kReadError);
      if (!Write(buffer_.data(), got)) return false;
      next_ += static_cast<int64_t>(got);
      if (got < buffer_.size()) input_ended_ = true;
    }
  }
  rest_size_ = static_cast<uint64_t>(next_ - start);
  window_offset_ = span_start_ = next_;
  window_size_ = 0;
  return !EndedEarly(next_);
}

}  // namespace qef
