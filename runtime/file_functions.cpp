#include "runtime/file_functions.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/file_table.h"
#include "runtime/runtime.h"

namespace qef {

namespace {

// Error codes of the run-time's file functions where the backend gives none of its own.
constexpr int kErrorInvalidHandle = 6;
constexpr int kErrorWriteFault = kFileWriteFault;
constexpr int kErrorReadFault = kFileReadFault;

constexpr size_t kBufferSize = 256 * 1024;

}  // namespace

// A backend file with one buffer that serves either reading or writing at a time. The logical
// position is buffer_start_ plus read_pos_ (reading) or plus write_len_ (writing).
class BufferedFile {
 public:
  explicit BufferedFile(std::unique_ptr<File> file)
      : file_(std::move(file)), buffer_(kBufferSize) {}

  size_t Read(void* destination, size_t count, int& error) {
    if (!FlushWrites(error)) return 0;
    auto* out = static_cast<char*>(destination);
    size_t done = 0;
    while (done < count) {
      if (read_pos_ < read_len_) {
        size_t n = std::min(count - done, read_len_ - read_pos_);
        std::memcpy(out + done, buffer_.data() + read_pos_, n);
        read_pos_ += n;
        done += n;
        continue;
      }
      buffer_start_ += static_cast<int64_t>(read_len_);
      read_pos_ = read_len_ = 0;
      if (count - done >= buffer_.size()) {
        // Large reads go straight to the caller's memory.
        size_t wanted = count - done;
        int64_t got = file_->Read(out + done, wanted);
        if (got < 0) {
          error = kErrorReadFault;
          return done;
        }
        buffer_start_ += got;
        done += static_cast<size_t>(got);
        if (static_cast<size_t>(got) < wanted) break;  // the end of the file
        continue;
      }
      int64_t got = file_->Read(buffer_.data(), buffer_.size());
      if (got < 0) {
        error = kErrorReadFault;
        return done;
      }
      if (got == 0) break;
      read_len_ = static_cast<size_t>(got);
    }
    return done;
  }

  size_t Write(const void* data, size_t count, int& error) {
    if (failed_ || !DropReadBuffer(error)) {
      error = kErrorWriteFault;
      return 0;
    }
    if (write_len_ + count > buffer_.size()) {
      if (!FlushWrites(error)) return 0;
      if (count >= buffer_.size()) {
        if (!file_->Write(data, count)) {
          failed_ = true;
          error = kErrorWriteFault;
          return 0;
        }
        buffer_start_ += static_cast<int64_t>(count);
        return count;
      }
    }
    std::memcpy(buffer_.data() + write_len_, data, count);
    write_len_ += count;
    return count;
  }

  // The output side of a span copy: what is buffered goes first, then the span.
  uint64_t CopySpan(BufferedFile& input, int64_t offset, uint64_t count, int& error) {
    if (failed_ || !DropReadBuffer(error) || !FlushWrites(error)) {
      error = kErrorWriteFault;
      return 0;
    }
    if (!input.FlushWrites(error)) {
      error = kErrorReadFault;
      return 0;
    }
    SpanCopy result = file_->CopyFrom(*input.file_, offset, count);
    buffer_start_ += static_cast<int64_t>(result.copied);
    if (result.write_failed) {
      failed_ = true;
      error = kErrorWriteFault;
    } else if (result.read_failed) {
      error = kErrorReadFault;
    }
    return result.copied;
  }

  std::unique_ptr<FileView> View(int64_t offset, size_t size, int& error) {
    if (!FlushWrites(error)) return nullptr;
    return file_->View(offset, size);
  }

  int64_t Seek(int64_t offset, int origin, int& error) {
    if (!FlushWrites(error)) return -1;
    int64_t target;
    switch (origin) {
      case 0:
        target = offset;
        break;
      case 1:
        target = Position() + offset;
        break;
      case 2: {
        int64_t size = file_->Size();
        if (size < 0) {
          error = kErrorReadFault;
          return -1;
        }
        known_size_ = size;
        target = size + offset;
        break;
      }
      default:
        error = kErrorInvalidHandle;
        return -1;
    }
    if (target < 0) {
      error = kErrorReadFault;
      return -1;
    }
    if (target >= buffer_start_ && target <= buffer_start_ + static_cast<int64_t>(read_len_)) {
      read_pos_ = static_cast<size_t>(target - buffer_start_);
      return target;
    }
    if (file_->Seek(target, SeekOrigin::kStart) < 0) {
      error = kErrorReadFault;
      return -1;
    }
    buffer_start_ = target;
    read_pos_ = read_len_ = 0;
    return target;
  }

  bool AtEnd(int& error) {
    if (read_pos_ < read_len_) return false;
    int64_t position = Position();
    if (position < known_size_) return false;
    if (!FlushWrites(error)) return true;
    known_size_ = file_->Size();
    if (known_size_ < 0) {
      error = kErrorReadFault;
      return true;
    }
    return position >= known_size_;
  }

  bool Close(int& error) {
    bool flushed = FlushWrites(error);
    bool closed = file_->Close();
    if (!closed || failed_) error = kErrorWriteFault;
    return flushed && closed && !failed_;
  }

 private:
  int64_t Position() const {
    return buffer_start_ + static_cast<int64_t>(write_len_ > 0 ? write_len_ : read_pos_);
  }

  bool FlushWrites(int& error) {
    if (write_len_ == 0) return true;
    size_t pending = write_len_;
    write_len_ = 0;
    if (failed_ || !file_->Write(buffer_.data(), pending)) {
      failed_ = true;
      error = kErrorWriteFault;
      return false;
    }
    buffer_start_ += static_cast<int64_t>(pending);
    return true;
  }

  // Before writing, the backend's position must be the logical one, not the read-ahead's.
  bool DropReadBuffer(int& error) {
    if (read_len_ == 0) return true;
    int64_t position = Position();
    if (file_->Seek(position, SeekOrigin::kStart) < 0) {
      error = kErrorWriteFault;
      return false;
    }
    buffer_start_ = position;
    read_pos_ = read_len_ = 0;
    return true;
  }

  std::unique_ptr<File> file_;
  std::vector<char> buffer_;
  int64_t buffer_start_ = 0;
  size_t read_pos_ = 0;
  size_t read_len_ = 0;
  size_t write_len_ = 0;
  int64_t known_size_ = -1;
  bool failed_ = false;
};

FileTable::FileTable() = default;
FileTable::~FileTable() = default;

FHandle FileTable::Add(std::unique_ptr<File> file) {
  auto buffered = std::make_unique<BufferedFile>(std::move(file));
  for (size_t i = 0; i < files_.size(); ++i) {
    if (!files_[i]) {
      files_[i] = std::move(buffered);
      return static_cast<FHandle>(i + 1);
    }
  }
  files_.push_back(std::move(buffered));
  return static_cast<FHandle>(files_.size());
}

BufferedFile* FileTable::Get(FHandle handle) {
  if (handle < 1 || static_cast<size_t>(handle) > files_.size()) return nullptr;
  return files_[static_cast<size_t>(handle) - 1].get();
}

void FileTable::Remove(FHandle handle) {
  if (Get(handle) != nullptr) files_[static_cast<size_t>(handle) - 1].reset();
}

size_t FileTable::OpenCount() const {
  return static_cast<size_t>(std::count_if(files_.begin(), files_.end(),
                                           [](const auto& file) { return file != nullptr; }));
}

namespace {

FileTable& Table() { return CurrentRuntime().file_table(); }

FHandle AddOrFail(std::unique_ptr<File> file) {
  FileTable& table = Table();
  if (!file) {
    table.last_error = CurrentRuntime().files().LastError();
    if (table.last_error == 0) table.last_error = kErrorInvalidHandle;
    return F_ERROR;
  }
  table.last_error = 0;
  return table.Add(std::move(file));
}

// Runs `operation` on the handle's file with the error code reset, or reports a bad handle.
template <typename Result, typename Operation>
Result WithFile(FHandle handle, Result on_bad_handle, Operation operation) {
  FileTable& table = Table();
  table.last_error = 0;
  BufferedFile* file = table.Get(handle);
  if (file == nullptr) {
    table.last_error = kErrorInvalidHandle;
    return on_bad_handle;
  }
  return operation(*file, table.last_error);
}

}  // namespace

FHandle FOpen(const std::string& path, uint32_t mode) {
  FileAccess access = (mode & 3) == FO_WRITE       ? FileAccess::kWrite
                      : (mode & 3) == FO_READWRITE ? FileAccess::kReadWrite
                                                   : FileAccess::kRead;
  return AddOrFail(CurrentRuntime().files().Open(path, access));
}

FHandle FCreate(const std::string& path, uint32_t /*attributes*/) {
  return AddOrFail(CurrentRuntime().files().Create(path, CreateMode::kTruncate));
}

FHandle FCreateNew(const std::string& path) {
  return AddOrFail(CurrentRuntime().files().Create(path, CreateMode::kNew));
}

size_t FRead(FHandle handle, void* buffer, size_t count) {
  return WithFile(handle, size_t{0},
                  [&](BufferedFile& file, int& error) { return file.Read(buffer, count, error); });
}

size_t FWrite(FHandle handle, const void* data, size_t count) {
  return WithFile(handle, size_t{0},
                  [&](BufferedFile& file, int& error) { return file.Write(data, count, error); });
}

uint64_t FCopySpan(FHandle output, FHandle input, int64_t offset, uint64_t count) {
  BufferedFile* from = Table().Get(input);
  return WithFile(output, uint64_t{0}, [&](BufferedFile& file, int& error) -> uint64_t {
    if (from == nullptr) {
      error = kErrorInvalidHandle;
      return 0;
    }
    return file.CopySpan(*from, offset, count, error);
  });
}

std::unique_ptr<FileView> FView(FHandle handle, int64_t offset, size_t size) {
  return WithFile(handle, std::unique_ptr<FileView>(),
                  [&](BufferedFile& file, int& error) { return file.View(offset, size, error); });
}

int64_t FSeek(FHandle handle, int64_t offset, int origin) {
  return WithFile(handle, int64_t{-1},
                  [&](BufferedFile& file, int& error) { return file.Seek(offset, origin, error); });
}

bool FEof(FHandle handle) {
  return WithFile(handle, true, [](BufferedFile& file, int& error) { return file.AtEnd(error); });
}

bool FClose(FHandle handle) {
  bool closed =
      WithFile(handle, false, [](BufferedFile& file, int& error) { return file.Close(error); });
  Table().Remove(handle);
  return closed;
}

bool FErase(const std::string& path) {
  bool erased = CurrentRuntime().files().Erase(path);
  Table().last_error = erased ? 0 : CurrentRuntime().files().LastError();
  return erased;
}

bool FRename(const std::string& from, const std::string& to) {
  bool renamed = CurrentRuntime().files().Rename(from, to);
  Table().last_error = renamed ? 0 : CurrentRuntime().files().LastError();
  return renamed;
}

int FError() { return Table().last_error; }

std::string_view PathSeparators() { return CurrentRuntime().files().PathSeparators(); }

bool SameFileName(const std::string& a, const std::string& b) {
  return CurrentRuntime().files().SameName(a, b);
}

}  // namespace qef
