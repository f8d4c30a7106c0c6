#include "runtime/file_functions.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/file_table.h"
#include "runtime/runtime.h"
#include "runtime/write_behind.h"

namespace qef {

namespace {

// Error codes of the run-time's file functions where the backend gives none of its own.
constexpr int kErrorInvalidHandle = 6;
constexpr int kErrorWriteFault = kFileWriteFault;
constexpr int kErrorReadFault = kFileReadFault;

constexpr size_t kBufferSize = 256 * 1024;
// The buffer starts this small and doubles as the file is used: a file read or written in a few
// small pieces (an export file's header test, the first bytes of its copy) then costs no 256 KiB
// set to zero and read ahead, which was a tenth of the repair of an everyday folder.
constexpr size_t kFirstBufferSize = 16 * 1024;

}  // namespace

// A backend file with one buffer that serves either reading or writing at a time. The logical
// position is buffer_start_ plus read_pos_ (reading) or plus write_len_ (writing). With a
// worker, full buffers and span copies go to it and count as written once handed over.
class BufferedFile {
 public:
  explicit BufferedFile(std::unique_ptr<File> file) : file_(std::move(file)) {}

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
      if (!Settle()) {
        error = kErrorReadFault;
        return done;
      }
      if (count >= kFirstBufferSize) {
        // Large reads go straight to the caller's memory, their rest too: copying them through
        // the buffer would cost a second pass and a read past their end.
        size_t wanted = count - done;
        int64_t got = file_->Read(out + done, wanted);
        if (got < 0) {
          backend_at_ = -1;
          error = kErrorReadFault;
          return done;
        }
        backend_at_ = buffer_start_ += got;
        done += static_cast<size_t>(got);
        if (static_cast<size_t>(got) < wanted) break;  // the end of the file
        continue;
      }
      GrowBuffer(std::max(count - done + 1, buffer_.size() * 2));
      int64_t got = file_->Read(buffer_.data(), buffer_.size());
      if (got < 0) {
        backend_at_ = -1;
        error = kErrorReadFault;
        return done;
      }
      backend_at_ = buffer_start_ + got;
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
    if (count == 0) return 0;  // the buffer may not be there yet
    if (write_len_ + count > buffer_.size() && count < kBufferSize) GrowBuffer(write_len_ + count);
    if (write_len_ + count > buffer_.size()) {
      if (!HandOver(error)) return 0;
      if (behind_ != nullptr) return WriteThroughBuffer(data, count, error);
      if (count >= buffer_.size()) {
        bool settled = Settle();
        backend_at_ = -1;
        if (!settled || !file_->Write(data, count)) {
          failed_ = true;
          error = kErrorWriteFault;
          return 0;
        }
        backend_at_ = buffer_start_ += static_cast<int64_t>(count);
        return count;
      }
    }
    std::memcpy(buffer_.data() + write_len_, data, count);
    write_len_ += count;
    return count;
  }

  // Over bytes already written: what is buffered goes first, then these bytes.
  size_t WriteAt(int64_t offset, const void* data, size_t count, int& error) {
    const auto* in = static_cast<const char*>(data);
    if (failed_ || !DropReadBuffer(error) || !HandOver(error)) {
      if (error != kErrorReadFault) error = kErrorWriteFault;
      return 0;
    }
    int64_t position = Position();
    if (offset < 0 || offset + static_cast<int64_t>(count) > position) {
      error = kErrorWriteFault;  // only what the file holds is written over
      return 0;
    }
    if (behind_ != nullptr) return NoFault(behind_->WriteAt(offset, in, count), error) ? count : 0;
    if (!file_->WriteAt(offset, in, count)) {
      failed_ = true;
      error = kErrorWriteFault;
      return 0;
    }
    return count;
  }

  // The output side of a span copy: what is buffered goes first, then the span.
  uint64_t CopySpan(BufferedFile& input, int64_t offset, uint64_t count, int& error) {
    if (failed_ || !DropReadBuffer(error) || !HandOver(error)) {
      if (error != kErrorReadFault) error = kErrorWriteFault;
      return 0;
    }
    if (!input.FlushWrites(error)) {
      error = kErrorReadFault;
      return 0;
    }
    if (!Settle()) {
      failed_ = true;
      error = kErrorWriteFault;
      return 0;
    }
    if (behind_ != nullptr) {
      if (!NoFault(behind_->Copy(*input.file_, offset, count), error)) return 0;
      buffer_start_ += static_cast<int64_t>(count);
      return count;
    }
    SpanCopy result = file_->CopyFrom(*input.file_, offset, count);
    backend_at_ = -1;
    buffer_start_ += static_cast<int64_t>(result.copied);
    if (result.write_failed) {
      failed_ = true;
      error = kErrorWriteFault;
    } else if (result.read_failed) {
      input.backend_at_ = -1;  // a block copy may not have put it back
      error = kErrorReadFault;
    }
    return result.copied;
  }

  int64_t ReadAt(int64_t offset, void* destination, size_t count, int& error) {
    if (!FlushWrites(error)) return -1;
    int64_t got = file_->ReadAt(offset, destination, count);
    if (got < 0) error = kErrorReadFault;
    return got;
  }
  bool ReadsAt() const { return file_->ReadsAt(); }

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
    // The backend moves only when it is next read or written, and only when it is not there
    // already: the header test's look at the size and back costs no call.
    buffer_start_ = target;
    read_pos_ = read_len_ = 0;
    seek_pending_ = true;
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

  // From now on writes and span copies go to a worker, where the build has threads.
  bool StartWriteBehind(int& error) {
    if (behind_ != nullptr) return true;
    if (failed_ || !DropReadBuffer(error) || !FlushWrites(error)) return false;
    if (!Settle()) {
      error = kErrorWriteFault;
      return false;
    }
    backend_at_ = -1;  // the worker moves it from now on
    behind_ = qef::StartWriteBehind(*file_);
    return behind_ != nullptr;
  }
  bool WritesBehind() const { return behind_ != nullptr; }
  // Lets the worker finish what it was given, and stops it.
  void StopWriteBehind() { behind_.reset(); }
  bool TakePermissions(BufferedFile& source) { return file_->TakePermissions(*source.file_); }
  File& file() { return *file_; }
  int SystemError() const { return file_->SystemError(); }
  void WaitForCopies() {
    if (behind_ != nullptr) behind_->WaitForCopies();
  }

  // Waits for what went to the worker; what is buffered stays. False when some of it failed.
  bool WaitBehind(int& error) {
    if (behind_ == nullptr) return true;
    WriteBehind::Fault fault = behind_->Wait();
    if (failed_) {
      error = kErrorWriteFault;
      return false;
    }
    return NoFault(fault, error);
  }

  bool Close(int& error) {
    bool flushed = FlushWrites(error);
    behind_.reset();
    bool closed = file_->Close();
    if (!closed || failed_) error = kErrorWriteFault;
    return flushed && closed && !failed_;
  }

 private:
  int64_t Position() const {
    return buffer_start_ + static_cast<int64_t>(write_len_ > 0 ? write_len_ : read_pos_);
  }

  // Puts the backend where the last Seek asked, before it is read or written; false when it
  // cannot be moved. The worker, if any, is idle here: every Seek waited for it.
  bool Settle() {
    if (!seek_pending_) return true;
    seek_pending_ = false;
    if (backend_at_ == buffer_start_) return true;
    bool moved = file_->Seek(buffer_start_, SeekOrigin::kStart) == buffer_start_;
    // A worker moves it on behind the program's back: known no longer.
    backend_at_ = moved && behind_ == nullptr ? buffer_start_ : -1;
    return moved;
  }

  // Everything written is out, or has failed: the worker, if any, is idle after it.
  bool FlushWrites(int& error) {
    if (behind_ != nullptr) return HandOver(error) && WaitBehind(error);
    if (write_len_ == 0) return true;
    size_t pending = write_len_;
    write_len_ = 0;
    if (!Settle()) failed_ = true;
    backend_at_ = -1;
    if (failed_ || !file_->Write(buffer_.data(), pending)) {
      failed_ = true;
      error = kErrorWriteFault;
      return false;
    }
    buffer_start_ += static_cast<int64_t>(pending);
    return true;
  }

  // What is buffered goes out: to the worker without waiting for it, else written at once.
  bool HandOver(int& error) {
    if (behind_ == nullptr) return FlushWrites(error);
    if (failed_) {
      error = kErrorWriteFault;
      return false;
    }
    size_t pending = write_len_;
    if (pending == 0) return true;
    if (!Settle()) {
      failed_ = true;
      error = kErrorWriteFault;
      return false;
    }
    write_len_ = 0;
    if (!NoFault(behind_->Write(buffer_, pending), error)) return false;
    buffer_.resize(kBufferSize);
    buffer_start_ += static_cast<int64_t>(pending);
    return true;
  }

  // Makes the buffer at least `wanted` bytes long, as far as kBufferSize, in doublings from
  // kFirstBufferSize; what it holds stays.
  void GrowBuffer(size_t wanted) {
    size_t size = std::max(buffer_.size(), kFirstBufferSize);
    while (size < wanted && size < kBufferSize) size *= 2;
    size = std::min(size, kBufferSize);
    if (size > buffer_.size()) buffer_.resize(size);
  }

  // Through the buffer in pieces: the worker needs memory that stays while it writes.
  size_t WriteThroughBuffer(const void* data, size_t count, int& error) {
    const auto* in = static_cast<const char*>(data);
    GrowBuffer(kBufferSize);
    for (size_t done = 0; done < count;) {
      size_t n = std::min(count - done, buffer_.size() - write_len_);
      std::memcpy(buffer_.data() + write_len_, in + done, n);
      write_len_ += n;
      done += n;
      if (write_len_ == buffer_.size() && !HandOver(error)) return 0;
    }
    return count;
  }

  // Notes the worker's failure in the error code; true when there was none. A read failure
  // belongs to a span copy's input; after a write failure the file takes nothing more.
  bool NoFault(WriteBehind::Fault fault, int& error) {
    if (fault == WriteBehind::Fault::kNone) return true;
    if (fault == WriteBehind::Fault::kWrite) failed_ = true;
    error = fault == WriteBehind::Fault::kRead ? kErrorReadFault : kErrorWriteFault;
    return false;
  }

  // Before writing, the backend's position must be the logical one, not the read-ahead's.
  bool DropReadBuffer(int& error) {
    if (read_len_ == 0) return true;
    int64_t position = Position();
    if (file_->Seek(position, SeekOrigin::kStart) < 0) {
      backend_at_ = -1;
      error = kErrorWriteFault;
      return false;
    }
    backend_at_ = buffer_start_ = position;
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
  // Where the backend's own position is, -1 when not known (a file is opened at its start); and
  // whether it must be moved to buffer_start_ before its next read or write.
  int64_t backend_at_ = 0;
  bool seek_pending_ = false;
  bool failed_ = false;
  std::unique_ptr<WriteBehind> behind_;  // declared last: it stops before the file goes
};

FileTable::FileTable() = default;

FileTable::~FileTable() {
  for (auto& file : files_) {
    if (file != nullptr) file->StopWriteBehind();
  }
}

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

std::unique_ptr<BufferedFile> FileTable::Take(FHandle handle) {
  if (Get(handle) == nullptr) return nullptr;
  std::unique_ptr<BufferedFile> file = std::move(files_[static_cast<size_t>(handle) - 1]);
  // Counted while its worker is still there: closing stops it.
  if (file->WritesBehind()) --writing_behind_;
  return file;
}

void FileTable::WaitForCopies() {
  if (writing_behind_ == 0) return;
  for (auto& file : files_) {
    if (file != nullptr) file->WaitForCopies();
  }
}

bool FileTable::StartWriteBehind(FHandle handle, int& error) {
  BufferedFile* file = Get(handle);
  if (file == nullptr) {
    error = kErrorInvalidHandle;
    return false;
  }
  if (file->WritesBehind()) return true;
  if (!file->StartWriteBehind(error)) return false;
  ++writing_behind_;
  return true;
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

FHandle FCreateTemporary(const std::string& path) {
  return AddOrFail(CurrentRuntime().files().Create(path, CreateMode::kTemporary));
}

FHandle FCreateTemporary(const std::string& path, FHandle model) {
  BufferedFile* like = Table().Get(model);
  if (like == nullptr) return FCreateTemporary(path);
  return AddOrFail(CurrentRuntime().files().CreateLike(path, CreateMode::kTemporary, like->file()));
}

bool FTakePermissions(FHandle output, FHandle input) {
  BufferedFile* from = Table().Get(input);
  return WithFile(output, false, [&](BufferedFile& file, int& error) {
    if (from == nullptr || !file.TakePermissions(*from)) {
      error = kErrorInvalidHandle;
      return false;
    }
    return true;
  });
}

size_t FRead(FHandle handle, void* buffer, size_t count) {
  Table().WaitForCopies();
  return WithFile(handle, size_t{0},
                  [&](BufferedFile& file, int& error) { return file.Read(buffer, count, error); });
}

int64_t FReadAt(FHandle handle, int64_t offset, void* buffer, size_t count) {
  return WithFile(handle, int64_t{-1}, [&](BufferedFile& file, int& error) {
    return file.ReadAt(offset, buffer, count, error);
  });
}

bool FReadsAt(FHandle handle) {
  return WithFile(handle, false, [](BufferedFile& file, int&) { return file.ReadsAt(); });
}

size_t FWrite(FHandle handle, const void* data, size_t count) {
  return WithFile(handle, size_t{0},
                  [&](BufferedFile& file, int& error) { return file.Write(data, count, error); });
}

size_t FWriteAt(FHandle handle, int64_t offset, const void* data, size_t count) {
  return WithFile(handle, size_t{0}, [&](BufferedFile& file, int& error) {
    return file.WriteAt(offset, data, count, error);
  });
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

bool FWriteBehind(FHandle handle) {
  FileTable& table = Table();
  table.last_error = 0;
  return table.StartWriteBehind(handle, table.last_error);
}

bool FWaitBehind(FHandle handle) {
  return WithFile(handle, false,
                  [](BufferedFile& file, int& error) { return file.WaitBehind(error); });
}

std::unique_ptr<FileView> FView(FHandle handle, int64_t offset, size_t size) {
  return WithFile(handle, std::unique_ptr<FileView>(),
                  [&](BufferedFile& file, int& error) { return file.View(offset, size, error); });
}

int64_t FSeek(FHandle handle, int64_t offset, int origin) {
  Table().WaitForCopies();
  return WithFile(handle, int64_t{-1},
                  [&](BufferedFile& file, int& error) { return file.Seek(offset, origin, error); });
}

bool FEof(FHandle handle) {
  Table().WaitForCopies();
  return WithFile(handle, true, [](BufferedFile& file, int& error) { return file.AtEnd(error); });
}

bool FClose(FHandle handle) {
  FileTable& table = Table();
  table.WaitForCopies();
  table.last_error = 0;
  table.last_close_system_error = 0;
  std::unique_ptr<BufferedFile> file = table.Take(handle);
  if (file == nullptr) {
    table.last_error = kErrorInvalidHandle;
    return false;
  }
  bool closed = file->Close(table.last_error);
  if (!closed) table.last_close_system_error = file->SystemError();
  return closed;
}

namespace {

// Notes what a call on the file system left in FError(): 0, or the backend's error code.
bool NoteOutcome(bool done) {
  Table().last_error = done ? 0 : CurrentRuntime().files().LastError();
  return done;
}

}  // namespace

bool FErase(const std::string& path) { return NoteOutcome(CurrentRuntime().files().Erase(path)); }

bool FRename(const std::string& from, const std::string& to) {
  return NoteOutcome(CurrentRuntime().files().Rename(from, to));
}

bool FRenameIfFree(const std::string& from, const std::string& to) {
  return NoteOutcome(CurrentRuntime().files().RenameIfFree(from, to));
}

bool FMissingNamesAreDear() { return CurrentRuntime().files().MissingNamesAreDear(); }

bool FMakeFolders(const std::string& path) {
  FileSystem& files = CurrentRuntime().files();
  bool made = files.CreateFolder(path);
  if (!made) {
    // Its parent may be what is missing; a root or a drive has none to make.
    const std::string_view separators = files.PathSeparators();
    size_t end = path.find_last_not_of(separators);
    size_t separator = end == std::string::npos ? end : path.find_last_of(separators, end);
    std::string parent = separator == std::string::npos ? "" : path.substr(0, separator);
    if (!parent.empty() && !(parent.size() == 2 && parent[1] == ':')) {
      made = FMakeFolders(parent) && files.CreateFolder(path);
    }
  }
  return NoteOutcome(made);
}

bool FIsFolder(const std::string& path) { return CurrentRuntime().files().IsFolder(path); }

std::unique_ptr<BlockMemory> FNewBlockMemory(size_t size) {
  std::unique_ptr<BlockMemory> memory = CurrentRuntime().files().NewBlockMemory(size);
  return memory != nullptr ? std::move(memory) : std::make_unique<HeapBlockMemory>(size);
}

int FError() { return Table().last_error; }

int FSystemError() { return Table().last_close_system_error; }

std::string_view PathSeparators() { return CurrentRuntime().files().PathSeparators(); }

std::optional<FileIdentity> FIdentifyFile(const std::string& path) {
  return CurrentRuntime().files().IdentifyFile(path);
}

bool FSameFile(const std::string& first, const std::string& second) {
  return CurrentRuntime().files().SameFile(first, second);
}

std::optional<FileIdentity> FIdentifyEntry(const std::string& path) {
  return CurrentRuntime().files().IdentifyEntry(path);
}

std::string FErrorText(int code) { return CurrentRuntime().files().ErrorText(code); }

}  // namespace qef
