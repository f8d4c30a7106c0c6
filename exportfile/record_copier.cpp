#include "exportfile/record_copier.h"

#include <algorithm>
#include <cstring>

#include "exportfile/export_file.h"
#include "exportfile/name_rules.h"
#include "exportfile/repair.h"
#include "progress/win_progress.h"
#include "ui/window.h"

namespace qef {

namespace {
size_t block_size = kDefaultCopyBlockSize;
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
      check_names_(observer != nullptr && observer->ChecksNames()),
      buffer_(block_size) {}

bool RecordCopier::Write(const char* data, size_t size) {
  return output_ == kNoOutput || FWrite(output_, data, size) == size;
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
  for (size_t i = 0; i < 2; ++i) record.header.raw[i] = static_cast<uint8_t>(type >> (8 * i));
  for (size_t i = 0; i < 4; ++i) record.header.raw[2 + i] = static_cast<uint8_t>(length >> (8 * i));
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
  record.header.stored = filled_ - next_;
  std::memcpy(record.header.raw, buffer_.data() + next_, record.header.stored);
  record.shape = RecordShape::kFragment;
  record.size = record.header.stored;
  observer_->Record(record);
}

bool RecordCopier::Flush() {
  size_t pending = next_ - written_;
  if (pending == 0) return true;
  if (!Write(buffer_.data() + written_, pending)) write_failed_ = true;
  written_ = next_;
  return !write_failed_;
}

// The file test took the size; a file that ends before it was cut while being copied, and a
// copy of it would pass for complete.
bool RecordCopier::EndedEarly(int64_t end) {
  if (end < input_size_) read_failed_ = true;
  return read_failed_;
}

CopyResult RecordCopier::Failure() const {
  return read_failed_    ? CopyResult::kReadError
         : write_failed_ ? CopyResult::kWriteError
                         : CopyResult::kDone;
}

bool RecordCopier::Ensure(size_t count) {
  if (filled_ - next_ >= count) return true;
  // Everything before next_ is copied: keep only the unread rest, at the start.
  if (!Flush()) return false;
  std::memmove(buffer_.data(), buffer_.data() + next_, filled_ - next_);
  buffer_offset_ += static_cast<int64_t>(next_);
  filled_ -= next_;
  next_ = written_ = 0;
  while (filled_ < count && !input_ended_) {
    size_t wanted = buffer_.size() - filled_;
    size_t got = FRead(input_, buffer_.data() + filled_, wanted);
    if (FError() != 0) {
      read_failed_ = true;
      return false;
    }
    filled_ += got;
    if (got < wanted) {
      input_ended_ = true;
      if (EndedEarly(buffer_offset_ + static_cast<int64_t>(filled_))) return false;
    }
  }
  return filled_ >= count;
}

CopyResult RecordCopier::Run() {
  while (!oWin_.lAbort) {
    if (!Ensure(1)) {
      if (Failure() != CopyResult::kDone) return Failure();
      break;
    }
    int64_t offset = buffer_offset_ + static_cast<int64_t>(next_);
    oWin_.Progress().Position(static_cast<int>(offset * 100 / input_size_));
    ApplicationExec(1);
    CopyResult result = CopyRecord(offset);
    if (result != CopyResult::kDone) return result;
  }
  return Flush() ? CopyResult::kDone : CopyResult::kWriteError;
}

CopyResult RecordCopier::CopyRecord(int64_t offset) {
  missing_ = 0;
  duplicate_ = false;
  if (!Ensure(kRecordHeaderSize)) {
    if (Failure() != CopyResult::kDone) return Failure();
    if (observer_ != nullptr) ReportFragment(offset);
    next_ = filled_;  // a trailing fragment goes out as it stands
    return CopyResult::kDone;
  }
  RecordHeader header;
  std::memcpy(header.raw, buffer_.data() + next_, kRecordHeaderSize);
  uint16_t type = header.Type();
  uint32_t length = header.Length();
  if (length > static_cast<uint64_t>(input_size_)) {
    CopyResult result = CopyRest();
    if (observer_ != nullptr && result == CopyResult::kDone) {
      Report(offset, type, length, RecordShape::kRestCopied, rest_size_);
    }
    return result;
  }
  next_ += kRecordHeaderSize;
  bool whole_name =
      type == AEF_REC_MODNAME || (type == AEF_REC_APPNAME && (strict_names_ || check_names_));
  CopyResult result = whole_name ? CopyWholeName(length, type == AEF_REC_MODNAME)
                                 : CopyBody(length, IsNameRecord(type));
  if (observer_ != nullptr && result == CopyResult::kDone) {
    Report(offset, type, length, missing_ == 0 ? RecordShape::kWhole : RecordShape::kPadded,
           kRecordHeaderSize + length - missing_);
  }
  return result;
}

CopyResult RecordCopier::CopyBody(uint32_t length, bool replace) {
  for (size_t left = length; left > 0;) {
    if (next_ == filled_) {
      if (!Ensure(1)) {
        if (Failure() != CopyResult::kDone) return Failure();
        // A body cut short by the end of the file is completed with spaces.
        missing_ = static_cast<uint32_t>(left);
        while (left > 0) {
          size_t size = std::min(left, buffer_.size());
          std::fill_n(buffer_.data(), size, ' ');
          if (replace) Repair(buffer_.data(), size);
          if (!Write(buffer_.data(), size)) return CopyResult::kWriteError;
          left -= size;
        }
        return CopyResult::kDone;
      }
    }
    size_t size = std::min(left, filled_ - next_);
    if (replace) Repair(buffer_.data() + next_, size);
    next_ += size;
    left -= size;
  }
  return CopyResult::kDone;
}

void RecordCopier::RepairName(std::string& body, bool module) {
  if (observer_ != nullptr) before_ = body;
  map_.Apply(body);
  if (strict_names_) {
    StrictRepairName(body);
  } else {
    CheckName(body);
  }
  if (module) duplicate_ = !module_names_.MakeDistinctAndAdd(body);
  // The counter may write a digit over a mended name (COM- becomes COM1).
  if (strict_names_) CheckName(body);
  if (observer_ != nullptr) observer_->NameBody(before_, body);
}

void RecordCopier::CheckName(std::string_view body) {
  if (!check_names_) return;
  std::string_view name = body.substr(0, NameLength(body));
  std::string reason = InvalidNameReason(name);
  if (!reason.empty()) observer_->InvalidName(name, reason);
}

CopyResult RecordCopier::CopyWholeName(uint32_t length, bool module) {
  if (length <= buffer_.size()) {
    if (!Ensure(length)) {
      if (Failure() != CopyResult::kDone) return Failure();
      // Cut short by the end of the file: the buffer holds the rest at its start.
      missing_ = static_cast<uint32_t>(length - filled_);
      std::fill(buffer_.data() + filled_, buffer_.data() + length, ' ');
      filled_ = length;
    }
    std::string body(buffer_.data() + next_, length);
    RepairName(body, module);
    std::memcpy(buffer_.data() + next_, body.data(), length);
    next_ += length;
    return CopyResult::kDone;
  }
  // Longer than a block: gathered in memory of its own (never more than the file's size).
  if (!Flush()) return CopyResult::kWriteError;
  large_body_.assign(length, ' ');
  size_t buffered = filled_ - next_;  // all of it: the body is longer than the buffer
  std::memcpy(large_body_.data(), buffer_.data() + next_, buffered);
  size_t got = FRead(input_, large_body_.data() + buffered, length - buffered);
  if (FError() != 0) return CopyResult::kReadError;
  buffer_offset_ += static_cast<int64_t>(filled_ + got);
  if (got < length - buffered) {
    input_ended_ = true;
    missing_ = static_cast<uint32_t>(length - buffered - got);
    if (EndedEarly(buffer_offset_)) return CopyResult::kReadError;
  }
  filled_ = next_ = written_ = 0;
  RepairName(large_body_, module);
  if (!Write(large_body_.data(), length)) return CopyResult::kWriteError;
  return CopyResult::kDone;
}

// A length longer than the whole file: the rest goes out as it stands and reading stops.
CopyResult RecordCopier::CopyRest() {
  rest_size_ = filled_ - next_;
  next_ = filled_;
  if (!Flush()) return CopyResult::kWriteError;
  int64_t end = buffer_offset_ + static_cast<int64_t>(filled_);
  while (!input_ended_) {
    size_t got = FRead(input_, buffer_.data(), buffer_.size());
    if (FError() != 0) return CopyResult::kReadError;
    if (!Write(buffer_.data(), got)) return CopyResult::kWriteError;
    rest_size_ += got;
    end += static_cast<int64_t>(got);
    if (got < buffer_.size()) input_ended_ = true;
  }
  if (EndedEarly(end)) return CopyResult::kReadError;
  next_ = written_ = filled_ = 0;
  return CopyResult::kDone;
}

}  // namespace qef
