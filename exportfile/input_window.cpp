#include "exportfile/input_window.h"

#include <algorithm>
#include <cstring>

namespace qef {

InputWindow::InputWindow(FHandle input, int64_t input_size, size_t block_size, CopyFailure& failure)
    : input_(input),
      input_size_(input_size),
      block_size_(block_size),
      buffer_size_(block_size),
      failure_(failure) {
  next_ = window_offset_ = std::max<int64_t>(FSeek(input_, 0, 1), 0);
  // A small input is read whole into a buffer of its size, never viewed: mapping and unmapping
  // it costs more than the read, and the run-time may hold its start already. One byte more
  // shows its end.
  int64_t rest = input_size_ - next_;
  if (rest >= 0 && rest < static_cast<int64_t>(std::min(block_size_, kReadWholeBelow))) {
    intake_ = Intake::kRead;
    buffer_size_ = static_cast<size_t>(rest) + 1;
  }
}

void ReadBuffer::Grow(size_t size) {
  if (size <= size_) return;
  std::unique_ptr<BlockMemory> grown = FNewBlockMemory(size);
  if (size_ > 0) std::memcpy(grown->data(), data_->data(), size_);
  data_ = std::move(grown);
  size_ = size;
}

size_t InputWindow::BufferSize(size_t count) const { return std::max(buffer_size_, count); }

InputWindow::~InputWindow() = default;

void InputWindow::Overwrite(int64_t offset, const char* data, size_t size) {
  std::memcpy(buffer_.data() + (offset - window_offset_), data, size);
}

// The file test took the size; a file that ends before it was cut while being copied, and a
// copy of it would pass for complete.
bool InputWindow::EndedEarly(int64_t end) {
  if (end < input_size_) failure_.Fail(CopyResult::kReadError);
  return end < input_size_;
}

bool InputWindow::MoveWindow(size_t count) {
  if (input_ended_) return false;
  return copies_spans() ? EnsureApart(count) : EnsureRead(count);
}

bool InputWindow::DropView() {
  bool intact = view_ == nullptr || view_->Intact();
  view_.reset();
  window_size_ = 0;
  // What was taken from a part that could not be read is worthless: the copy fails.
  if (!intact) return failure_.Fail(CopyResult::kReadError);
  return true;
}

bool InputWindow::EnsureApart(size_t count) {
  if (!ViewEnding() || !DropView()) return false;
  size_t wanted = std::max(block_size_, count);
  if (viewing()) {
    view_ = FView(input_, next_, wanted);
    if (view_ == nullptr) {
      // No views here: read beside the copies, or in turn, from now on.
      intake_ = beside_allowed_ ? Intake::kReadBeside : Intake::kRead;
    }
    if (intake_ == Intake::kRead) {
      if (!BytesLeaving()) return false;
      if (FSeek(input_, next_, 0) != next_) return failure_.Fail(CopyResult::kReadError);
      window_offset_ = next_;
      return EnsureRead(count);
    }
  }
  if (intake_ == Intake::kReadBeside) {
    buffer_.Grow(wanted);
    int64_t got = FReadAt(input_, next_, buffer_.data(), wanted);
    if (got < 0) return failure_.Fail(CopyResult::kReadError);
    window_ = buffer_.data();
    window_size_ = static_cast<size_t>(got);
  } else {
    window_ = view_->data();
    window_size_ = view_->size();
  }
  window_offset_ = next_;
  if (window_size_ < wanted) {
    input_ended_ = true;
    if (EndedEarly(window_offset_ + static_cast<int64_t>(window_size_))) return false;
  }
  return window_size_ >= count;
}

bool InputWindow::EnsureRead(size_t count) {
  // Everything before next_ leaves the buffer: it must be out first, before the buffer may move.
  if (!BytesLeaving()) return false;
  // Reading goes on where the last read ended, unless the loop passed over bytes beyond it,
  // which went from file to file.
  int64_t read_end = window_offset_ + static_cast<int64_t>(window_size_);
  if (next_ > read_end && FSeek(input_, next_, 0) != next_) {
    return failure_.Fail(CopyResult::kReadError);
  }
  size_t keep = Available();
  size_t from = keep > 0 ? static_cast<size_t>(next_ - window_offset_) : 0;
  buffer_.Grow(BufferSize(count));
  if (keep > 0) std::memmove(buffer_.data(), buffer_.data() + from, keep);
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

bool InputWindow::ReadAside(std::string& body, uint32_t length, size_t& got) {
  if (!DropView()) return false;
  window_offset_ = next_;
  body.assign(length, ' ');
  if (FSeek(input_, next_, 0) != next_) return failure_.Fail(CopyResult::kReadError);
  got = FRead(input_, body.data(), length);
  if (FError() != 0) return failure_.Fail(CopyResult::kReadError);
  next_ += static_cast<int64_t>(got);
  window_offset_ = next_;
  if (got < length) {
    input_ended_ = true;
    if (EndedEarly(next_)) return false;
  }
  return true;
}

bool InputWindow::NextBlock() {
  if (input_ended_) return false;
  if (copies_spans()) {
    // Read in turn from here on: the window would only be copied out of.
    if (!DropView()) return false;
    if (FSeek(input_, next_, 0) != next_) return failure_.Fail(CopyResult::kReadError);
    intake_ = Intake::kRead;
  }
  buffer_.Grow(buffer_size_);
  size_t got = FRead(input_, buffer_.data(), buffer_.size());
  if (FError() != 0) return failure_.Fail(CopyResult::kReadError);
  window_ = buffer_.data();
  window_offset_ = next_;
  window_size_ = got;
  if (got < buffer_.size()) input_ended_ = true;
  return true;
}

}  // namespace qef
