#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "runtime/write_behind.h"

namespace qef {

namespace {

// How far the worker may fall behind: bytes of copies, and bytes of writes (held in memory),
// given and not yet done. At the speed of a page-cache copy the first is a few milliseconds of
// work, so progress and Cancel stay as close to the output as they were.
constexpr uint64_t kMaxPendingCopy = 16 << 20;
constexpr size_t kMaxPendingWrite = 1 << 20;
// A long copy is given in pieces, so the bound holds and a closing never waits long.
constexpr uint64_t kCopyPiece = 4 << 20;

class ThreadWriteBehind : public WriteBehind {
  // A write of `size` bytes of `data` (at the position, or over the bytes at `at`), or a copy of
  // `size` bytes of `input` from `offset`.
  struct Task {
    File* input = nullptr;
    int64_t offset = 0;
    int64_t at = -1;
    uint64_t size = 0;
    std::vector<char> data;
    size_t held = 0;        // the memory it holds, counted against the bound
    bool recycled = false;  // a caller's buffer, to be given back to be filled again
  };

 public:
  explicit ThreadWriteBehind(File& output) : output_(output), worker_([this] { Work(); }) {}

  ~ThreadWriteBehind() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    work_given_.notify_one();
    worker_.join();
  }

  Fault Write(std::vector<char>& buffer, size_t size) override {
    Task task;
    task.size = size;
    // A few bytes are copied out; a full buffer is taken whole and a written one given back.
    if (size < buffer.size() / 4) {
      task.data.assign(buffer.data(), buffer.data() + size);
      task.held = size;
      return Give(std::move(task));
    }
    task.held = buffer.capacity();
    task.recycled = true;
    return Give(std::move(task), &buffer);
  }

  Fault WriteAt(int64_t offset, const char* data, size_t size) override {
    Task task;
    task.at = offset;
    task.size = size;
    task.data.assign(data, data + size);
    task.held = size;
    return Give(std::move(task));
  }

  Fault Copy(File& input, int64_t offset, uint64_t count) override {
    for (uint64_t given = 0; given < count;) {
      uint64_t piece = std::min(count - given, kCopyPiece);
      std::unique_lock<std::mutex> lock(mutex_);
      AwaitWorker(
          lock, [&] { return fault_ != Fault::kNone || pending_copy_ + piece <= kMaxPendingCopy; });
      if (fault_ != Fault::kNone) return fault_;
      Task task;
      task.input = &input;
      task.offset = offset + static_cast<int64_t>(given);
      task.size = piece;
      pending_copy_ += piece;
      tasks_.push_back(std::move(task));
      if (worker_waiting_) work_given_.notify_one();
      given += piece;
    }
    return Fault::kNone;
  }

  // Queues a write once the memory it holds fits under the bound; `buffer` is the caller's,
  // taken whole.
  Fault Give(Task task, std::vector<char>* buffer = nullptr) {
    std::unique_lock<std::mutex> lock(mutex_);
    AwaitWorker(lock, [&] {
      return fault_ != Fault::kNone || pending_write_ == 0 ||
             pending_write_ + task.held <= kMaxPendingWrite;
    });
    if (fault_ != Fault::kNone) return fault_;
    if (buffer != nullptr) {
      task.data.swap(*buffer);
      if (!spare_.empty()) {
        buffer->swap(spare_.back());
        spare_.pop_back();
      }
    }
    pending_write_ += task.held;
    tasks_.push_back(std::move(task));
    if (worker_waiting_) work_given_.notify_one();
    return Fault::kNone;
  }

  void WaitForCopies() override {
    std::unique_lock<std::mutex> lock(mutex_);
    AwaitWorker(lock, [&] { return pending_copy_ == 0; });
  }

  Fault Wait() override {
    std::unique_lock<std::mutex> lock(mutex_);
    AwaitWorker(lock, [&] { return tasks_.empty(); });
    return fault_;
  }

 private:
  template <typename Ready>
  void AwaitWorker(std::unique_lock<std::mutex>& lock, Ready ready) {
    while (!ready()) {
      caller_waiting_ = true;
      work_done_.wait(lock);
      caller_waiting_ = false;
    }
  }

  // A task that throws (a backend out of memory, say) fails as a write does: nothing may leave
  // the worker's thread, and the caller hears of it at its next call, as of any failure.
  Fault DoCaught(const Task& task) noexcept {
    try {
      return Do(task);
    } catch (...) {
      return Fault::kWrite;
    }
  }

  Fault Do(const Task& task) {
    if (task.at >= 0) {
      return output_.WriteAt(task.at, task.data.data(), task.data.size()) ? Fault::kNone
                                                                          : Fault::kWrite;
    }
    if (task.input == nullptr) {
      return output_.Write(task.data.data(), static_cast<size_t>(task.size)) ? Fault::kNone
                                                                             : Fault::kWrite;
    }
    SpanCopy copy = output_.CopyFrom(*task.input, task.offset, task.size);
    if (copy.write_failed) return Fault::kWrite;
    // Short without a failure: the input was cut after its test.
    return copy.read_failed || copy.copied != task.size ? Fault::kRead : Fault::kNone;
  }

  void Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      worker_waiting_ = true;
      work_given_.wait(lock, [&] { return stopping_ || !tasks_.empty(); });
      worker_waiting_ = false;
      if (tasks_.empty()) return;
      // Only this thread takes tasks off, so the front stays while the lock is let go.
      Task& task = tasks_.front();
      Fault fault = fault_;
      lock.unlock();
      if (fault == Fault::kNone) fault = DoCaught(task);
      lock.lock();
      fault_ = fault;
      if (task.input == nullptr) {
        pending_write_ -= task.held;
        if (task.recycled) KeepSpare(std::move(task.data));
      } else {
        pending_copy_ -= task.size;
      }
      tasks_.pop_front();
      // A waiting caller is woken once half the bound is free, or all is done: a wake-up per
      // task made thousands of system calls more.
      bool room = pending_copy_ <= kMaxPendingCopy / 2 && pending_write_ <= kMaxPendingWrite / 2;
      if (caller_waiting_ &&
          (room || tasks_.empty() || pending_copy_ == 0 || fault_ != Fault::kNone)) {
        work_done_.notify_one();
      }
    }
  }

  // A buffer not kept for want of memory is made anew by the caller.
  void KeepSpare(std::vector<char> buffer) noexcept {
    try {
      spare_.push_back(std::move(buffer));
    } catch (const std::bad_alloc&) {
    }
  }

  File& output_;
  std::mutex mutex_;
  std::condition_variable work_given_;
  std::condition_variable work_done_;
  std::deque<Task> tasks_;
  std::vector<std::vector<char>> spare_;  // written buffers, to be filled again
  size_t pending_write_ = 0;
  uint64_t pending_copy_ = 0;
  Fault fault_ = Fault::kNone;
  bool stopping_ = false;
  bool worker_waiting_ = false;
  bool caller_waiting_ = false;
  std::thread worker_;  // last: it starts once the rest is there
};

}  // namespace

std::unique_ptr<WriteBehind> StartWriteBehind(File& output) {
  try {
    return std::make_unique<ThreadWriteBehind>(output);
  } catch (const std::system_error&) {
    return nullptr;  // no thread to be had (memory or process limits): written as it goes
  }
}

}  // namespace qef
