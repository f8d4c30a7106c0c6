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

// A longer span goes out at the next record (1 MiB), so that progress and Cancel never wait on
// more than this at once beyond the record under way, and the copy starts early. It follows the
// block, so that tests with small blocks take every path.
int64_t MaxSpan() { return static_cast<int64_t>(block_size / 2); }
// A body read through the buffer costs two copies of its bytes, one copied from file to file
// costs one but breaks the reading: a body reaching this far (256 KiB) past the buffer is copied.
size_t PassOverBeyond() { return std::max<size_t>(block_size / 8, 1); }
}  // namespace

void SetCopyBlockSize(size_t bytes) { block_size = std::max(bytes, kRecordHeaderSize); }

RecordCopier::RecordCopier(FHandle input, FHandle output, int64_t input_size,
                           const CharacterMap& map, ModuleNameList& module_names, WinProgress& oWin,
                           RecordObserver* observer, bool strict_names)
    : map_(map),
      module_names_(module_names),
      oWin_(oWin),
      observer_(observer),
      strict_names_(strict_names),
      check_names_(observer != nullptr && observer->ChecksNames()),
      window_(input, input_size, block_size, failure_),
      writer_(output, input, block_size, window_, failure_) {
  window_.SetListener(&writer_);
}

RecordCopier::~RecordCopier() = default;

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
  record.header.stored = window_.Available();
  std::memcpy(record.header.raw, window_.At(), record.header.stored);
  record.shape = RecordShape::kFragment;
  record.size = record.header.stored;
  observer_->Record(record);
}

CopyResult RecordCopier::Run() {
  CopyRecords();
  writer_.WaitBehind();
  return failure_.kind();
}

bool RecordCopier::CopyRecords() {
  while (!oWin_.lAbort) {
    if (!window_.Ensure(1)) {
      if (failure_.failed()) return false;
      break;
    }
    int64_t offset = window_.next();
    if (offset - writer_.span_start() >= MaxSpan() && !writer_.FlushSpan(offset, false)) {
      return false;
    }
    // The percentage changes a hundred times a file: worked out again only then, not with a
    // division per record.
    if (offset >= next_percent_at_) {
      const int64_t input_size = window_.input_size();
      percent_ = offset * 100 / input_size;
      next_percent_at_ = ((percent_ + 1) * input_size + 99) / 100;
    }
    oWin_.Progress().Position(static_cast<int>(percent_));
    ApplicationExec(1);
    if (!CopyRecord(offset)) return false;
  }
  return writer_.FlushSpan(window_.next()) && window_.DropView();
}

// Inlined into the loop: a call per record made a file of tiny records a tenth slower.
[[gnu::always_inline]] inline bool RecordCopier::CopyRecord(int64_t offset) {
  missing_ = 0;
  duplicate_ = false;
  if (!window_.Ensure(kRecordHeaderSize)) {
    if (failure_.failed()) return false;
    if (observer_ != nullptr) ReportFragment(offset);
    window_.Advance(window_.Available());  // a trailing fragment goes out as it stands
    return true;
  }
  const auto [type, length] = DecodeRecordFrame(window_.At());
  if (length > static_cast<uint64_t>(window_.input_size())) {
    if (!CopyRest()) return false;
    if (observer_ != nullptr) Report(offset, type, length, RecordShape::kRestCopied, rest_size_);
    return true;
  }
  window_.Advance(kRecordHeaderSize);
  if (type == AEF_REC_MODNAME || (type == AEF_REC_APPNAME && (strict_names_ || check_names_))) {
    if (!CopyWholeName(length, type == AEF_REC_MODNAME)) return false;
  } else if (!IsNameRecord(type) && window_.next() + length <= window_.input_size() &&
             (window_.copies_spans() || length >= window_.Available() + PassOverBeyond())) {
    // A body that needs no change is not looked at: the span takes it, viewed or, when reading,
    // where most of it lies beyond the buffer (it then goes from file to file instead of through
    // the program). Should the file have been cut since its test, the span's copy finds out.
    window_.Advance(length);
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
    if (window_.Available() == 0 && !window_.Ensure(1)) {
      if (failure_.failed()) return false;
      // A body cut short by the end of the file is completed with spaces.
      missing_ = static_cast<uint32_t>(left);
      if (!writer_.FlushSpan(window_.next())) return false;
      while (left > 0) {
        size_t size = std::min(left, block_size);
        piece_.assign(size, ' ');
        if (replace) Repair(piece_.data(), size);
        if (!writer_.Write(piece_.data(), size)) return false;
        left -= size;
      }
      return true;
    }
    size_t size = std::min(left, window_.Available());
    if (replace) {
      piece_.assign(window_.At(), size);
      Repair(piece_.data(), size);
      if (!writer_.Substitute(window_.next(), piece_.data(), size)) return false;
    }
    window_.Advance(size);
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
  const int64_t offset = window_.next() - static_cast<int64_t>(kRecordHeaderSize);
  if (length <= block_size) {
    std::string& body = whole_name_;
    size_t stored = length;
    if (!window_.Ensure(length)) {
      if (failure_.failed()) return false;
      // Cut short by the end of the file: the rest is taken as spaces.
      stored = window_.Available();
      missing_ = static_cast<uint32_t>(length - stored);
    }
    body.assign(window_.At(), stored);
    body.resize(length, ' ');
    RepairName(body, module, offset);
    if (missing_ == 0) {
      if (!writer_.Substitute(window_.next(), body.data(), length)) return false;
    } else {
      if (!writer_.FlushSpan(window_.next()) || !writer_.Write(body.data(), length)) return false;
      writer_.SetSpanStart(window_.next() + static_cast<int64_t>(stored));
    }
    window_.Advance(stored);
    return true;
  }
  // Longer than a block: gathered in memory of its own (never more than the file's size).
  size_t got = 0;
  if (!writer_.FlushSpan(window_.next()) || !window_.ReadAside(large_body_, length, got)) {
    return false;
  }
  writer_.SetSpanStart(window_.next());
  missing_ = static_cast<uint32_t>(length - got);
  RepairName(large_body_, module, offset);
  return writer_.Write(large_body_.data(), length);
}

// A length longer than the whole file: the rest goes out as it stands and reading stops.
bool RecordCopier::CopyRest() {
  int64_t start = window_.next();
  window_.Advance(window_.Available());
  if (!writer_.FlushSpan(window_.next())) return false;
  while (window_.NextBlock()) {
    size_t size = window_.Available();
    if (!writer_.Write(window_.At(), size)) return false;
    window_.Advance(size);
  }
  if (failure_.failed()) return false;
  rest_size_ = static_cast<uint64_t>(window_.next() - start);
  writer_.SetSpanStart(window_.next());
  return !window_.EndedEarly(window_.next());
}

}  // namespace qef
