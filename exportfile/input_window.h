#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "exportfile/copy_failure.h"
#include "runtime/file_functions.h"

namespace qef {

// Told by the input window before it lets go of input bytes, so that what waits to be written
// from them goes out first. False on a failure, noted in the copy's CopyFailure.
class WindowListener {
 public:
  virtual ~WindowListener() = default;
  // The view is about to go; the next window starts at `next`.
  virtual bool ViewEnding(int64_t next) = 0;
  // The bytes before `next` are about to leave the window, or have left it: they must be out.
  virtual bool BytesLeaving(int64_t next) = 0;
};

// Memory the window reads into, from the backend's block memory. It grows without setting its
// bytes (every byte is read into before it is looked at) and keeps those it holds.
class ReadBuffer {
 public:
  char* data() { return data_ != nullptr ? data_->data() : nullptr; }
  size_t size() const { return size_; }
  void Grow(size_t size);

 private:
  std::unique_ptr<BlockMemory> data_;
  size_t size_ = 0;
};

// Inputs smaller than this are read, not viewed.
inline constexpr size_t kReadWholeBelow = 1 << 20;

// The record loop looks at the input through a window of one block: a view of the file where the
// file system has views, else a buffer it reads into. While the spans go from file to file, the
// buffer is read at offsets beside those copies where the file system can. Only what must be
// parsed is looked at:
// record headers and name bodies; the loop passes over the rest. The input may end before the
// size the file test found only by a failure: the file was cut while being copied, and a copy of
// it would pass for complete.
class InputWindow {
 public:
  // The window starts at the input's position: where the run-time's read-ahead of the file test
  // leaves off.
  InputWindow(FHandle input, int64_t input_size, size_t block_size, CopyFailure& failure);
  ~InputWindow();

  void SetListener(WindowListener* listener) { listener_ = listener; }

  // The input offset of the next byte to take.
  int64_t next() const { return next_; }
  int64_t input_size() const { return input_size_; }
  bool viewing() const { return intake_ == Intake::kViewed; }
  // Whether the unchanged bytes go from file to file (FCopySpan) rather than out of the window:
  // while viewing, and while reading beside those copies.
  bool copies_spans() const { return intake_ != Intake::kRead; }
  // Where the input cannot be viewed, each window is then read at its own offset (FReadAt) while
  // the spans are copied from file to file, rather than read in turn and written out of the
  // buffer, where the file system has such reads.
  void ReadBesideCopies() { beside_allowed_ = FReadsAt(input_); }

  // The bytes of the window from the next input byte on, and where they are.
  size_t Available() const {
    int64_t end = window_offset_ + static_cast<int64_t>(window_size_);
    return next_ >= window_offset_ && next_ < end ? static_cast<size_t>(end - next_) : 0;
  }
  const char* At() const { return window_ + (next_ - window_offset_); }
  // Makes at least `count` bytes available, moving the window on; false when the input ends
  // first (what there is is then available) or on a failure.
  bool Ensure(size_t count) { return Available() >= count || MoveWindow(count); }
  // Takes `count` bytes, looked at or not; they may reach past the window, and the input must
  // hold them.
  void Advance(size_t count) { next_ += static_cast<int64_t>(count); }

  // Whether the input from `start` to `end` lies in the window, and the window's copy of the byte
  // at `offset`.
  bool Holds(int64_t start, int64_t end) const {
    return start >= window_offset_ && end <= window_offset_ + static_cast<int64_t>(window_size_);
  }
  const char* Data(int64_t offset) const { return window_ + (offset - window_offset_); }
  // The input offset just past the window.
  int64_t end() const { return window_offset_ + static_cast<int64_t>(window_size_); }
  // While reading: puts `size` repaired bytes over the buffer's at `offset`, which lie in the
  // window, so that they go out with the span written from it.
  void Overwrite(int64_t offset, const char* data, size_t size);

  // Lets the view go; false, with a read failure, when a part of it could not be read.
  bool DropView();
  // A body longer than the window, in memory of its own: `body` becomes `length` bytes, those the
  // input has from the next byte on (`got`, taken) and spaces for those it lacks.
  bool ReadAside(std::string& body, uint32_t length, size_t& got);
  // For a copy of the rest of the input that is not looked at: the window becomes the input's
  // next block, read into the buffer. False once the input has ended, or on a failure.
  bool NextBlock();
  // Marks a read failure when the input ended at `end`, before the size the file test found.
  bool EndedEarly(int64_t end);

 private:
  bool MoveWindow(size_t count);
  // A window of its own for each block, viewed or read at its offset.
  bool EnsureApart(size_t count);
  bool EnsureRead(size_t count);
  size_t BufferSize(size_t count) const;
  bool ViewEnding() { return listener_ == nullptr || listener_->ViewEnding(next_); }
  bool BytesLeaving() { return listener_ == nullptr || listener_->BytesLeaving(next_); }

  FHandle input_;
  int64_t input_size_;
  size_t block_size_;
  size_t buffer_size_;  // of the buffer read into: a block, or a small input whole
  CopyFailure& failure_;
  WindowListener* listener_ = nullptr;

  // How the window takes in the input: viewed until the file system turns out to have no views,
  // then read at offsets beside the span copies where that is allowed, else read in turn.
  enum class Intake { kViewed, kReadBeside, kRead };
  Intake intake_ = Intake::kViewed;
  bool beside_allowed_ = false;
  std::unique_ptr<FileView> view_;  // the window, while viewing
  ReadBuffer buffer_;               // the window, while reading
  const char* window_ = nullptr;
  int64_t window_offset_ = 0;  // the input offset of window_[0]
  size_t window_size_ = 0;
  int64_t next_ = 0;  // the input offset of the next byte to take
  bool input_ended_ = false;
};

}  // namespace qef
