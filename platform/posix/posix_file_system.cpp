#include "platform/posix/posix_file_system.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/block_copy.h"
#include "platform/kept_block.h"
#include "platform/posix/posix_write_all.h"
#include "ui/file_picker.h"

namespace qef {

namespace {

// The largest piece one copy_file_range call is asked for.
constexpr uint64_t kKernelCopyPiece = 1 << 30;

// A page of a mapping that cannot be read (the file was cut after the mapping, or the disk
// failed) raises SIGBUS when touched, which would end the program. While views are alive, a
// handler puts a page of zeros in place of such a page and marks its view as not intact, so
// the reader goes on and reports a read error instead. Faults elsewhere go to the handler
// that was there before.
struct GuardedRange {
  std::atomic<uintptr_t> begin{0};
  std::atomic<uintptr_t> end{0};
  std::atomic<bool> damaged{false};
};
constexpr size_t kGuardedRanges = 8;
GuardedRange guarded[kGuardedRanges];
struct sigaction previous_bus_action;
bool bus_handler_installed = false;

void OnBusError(int signal, siginfo_t* info, void* context) {
  auto address = reinterpret_cast<uintptr_t>(info->si_addr);
  for (GuardedRange& range : guarded) {
    if (address < range.begin.load() || address >= range.end.load()) continue;
    uintptr_t page = address - address % static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    if (::mmap(reinterpret_cast<void*>(page), static_cast<size_t>(::sysconf(_SC_PAGESIZE)),
               PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
      range.damaged = true;
      return;
    }
  }
  // Not ours: as if this handler had never been there.
  if (previous_bus_action.sa_flags & SA_SIGINFO) {
    previous_bus_action.sa_sigaction(signal, info, context);
  } else if (previous_bus_action.sa_handler != SIG_DFL &&
             previous_bus_action.sa_handler != SIG_IGN) {
    previous_bus_action.sa_handler(signal);
  } else {
    ::sigaction(SIGBUS, &previous_bus_action, nullptr);  // the fault repeats, unhandled
  }
}

// A free slot for a view's range, or null when all are taken (the view is then refused).
GuardedRange* Guard(const void* mapping, size_t size) {
  if (!bus_handler_installed) {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    if (::sigaction(SIGBUS, &action, &previous_bus_action) != 0) return nullptr;
    bus_handler_installed = true;
  }
  for (GuardedRange& range : guarded) {
    if (range.end.load() != 0) continue;
    auto begin = reinterpret_cast<uintptr_t>(mapping);
    range.damaged = false;
    range.begin = begin;
    range.end = begin + size;
    return &range;
  }
  return nullptr;
}

// Blocks are mapped in whole large pages, and the kernel is asked to back them with such pages
// (transparent huge pages). Reading into small pages costs a fault per page and, on a virtual
// machine, a walk of two page tables for each page touched: 2 MiB read into fresh small pages
// took 7.7 ms on the machine that measured it, into one large page 0.4 ms. Where the kernel
// gives no large pages, the mapping is one of small pages, as the heap's would be.
constexpr size_t kLargePage = 2 << 20;

#ifndef __has_feature
#define __has_feature(feature) 0  // GCC names AddressSanitizer by __SANITIZE_ADDRESS__ instead
#endif
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
constexpr bool kBlocksOnTheHeap = true;  // where the sanitizer sees every overrun
#else
constexpr bool kBlocksOnTheHeap = false;
#endif

// Whole large pages, from a mapping a page larger, since a large page must start at a multiple
// of its size: the part before the first such start and the rest after the block are given back.
char* TakeLargePages(size_t size, size_t& mapped) {
  auto whole_pages = [](uintptr_t bytes) {
    return (bytes + kLargePage - 1) / kLargePage * kLargePage;
  };
  mapped = whole_pages(size);
  if (mapped < size) return nullptr;
  void* raw = ::mmap(nullptr, mapped + kLargePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  auto start = reinterpret_cast<uintptr_t>(raw);
  size_t head = whole_pages(start) - start;
  auto* data = static_cast<char*>(raw) + head;
  if (head > 0) ::munmap(raw, head);
  ::munmap(data + mapped, kLargePage - head);
  ::madvise(data, mapped, MADV_HUGEPAGE);  // a kernel without them maps small pages
  return data;
}

void GiveBackPages(char* data, size_t mapped) { ::munmap(data, mapped); }

constexpr PageSource kLargePages{TakeLargePages, GiveBackPages};

class PosixView : public FileView {
 public:
  PosixView(void* mapping, size_t mapped, const char* data, size_t size, GuardedRange* guard)
      : mapping_(mapping), mapped_(mapped), data_(data), size_(size), guard_(guard) {}
  ~PosixView() override {
    if (mapped_ > 0) ::munmap(mapping_, mapped_);
    if (guard_ != nullptr) {
      guard_->end = 0;
      guard_->begin = 0;
    }
  }
  const char* data() const override { return data_; }
  size_t size() const override { return size_; }
  bool Intact() const override { return guard_ == nullptr || !guard_->damaged.load(); }

 private:
  void* mapping_;
  size_t mapped_;
  const char* data_;
  size_t size_;
  GuardedRange* guard_;
};

class PosixFile : public File {
 public:
  // `mode`: the file's type and permission bits when it was opened. `size`: its size then, for
  // a file opened to be read; -1 otherwise. `created_bits`: the bits a file that this program
  // created was asked for; -1 for a file that was there.
  PosixFile(PosixFileSystem& fs, int fd, mode_t mode, int64_t size, int created_bits)
      : fs_(fs), fd_(fd), mode_(mode), opened_size_(size), created_bits_(created_bits) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  int descriptor() const { return fd_; }

  int64_t Read(void* buffer, size_t count) override { return ReadFull(buffer, count, -1); }

  // Reads at an offset without the position, so the program may read a file while the worker
  // of an output written behind copies from it.
  int64_t ReadAt(int64_t offset, void* buffer, size_t count) override {
    return offset < 0 ? -1 : ReadFull(buffer, count, static_cast<off_t>(offset));
  }
  bool ReadsAt() const override { return true; }

  bool Write(const void* data, size_t count) override {
    if (WriteAll(fd_, data, count)) return true;
    Failed(errno);
    return false;
  }

  // One system call for a repaired name written over its span's copy.
  bool WriteAt(int64_t offset, const void* data, size_t count) override {
    return offset >= 0 && WriteAll(fd_, data, count, static_cast<off_t>(offset));
  }

  int64_t Seek(int64_t offset, SeekOrigin origin) override {
    int whence = origin == SeekOrigin::kStart     ? SEEK_SET
                 : origin == SeekOrigin::kCurrent ? SEEK_CUR
                                                  : SEEK_END;
    return static_cast<int64_t>(::lseek(fd_, static_cast<off_t>(offset), whence));
  }

  int64_t Size() override {
    // The first look, which the header test makes at once, takes the size from the opening a
    // moment ago; the end of the file is still found by reading.
    if (opened_size_ >= 0) return std::exchange(opened_size_, -1);
    struct stat info;
    if (::fstat(fd_, &info) != 0) return -1;
    return static_cast<int64_t>(info.st_size);
  }

  SpanCopy CopyFrom(File& source, int64_t offset, uint64_t count) override {
    auto* posix_source = dynamic_cast<PosixFile*>(&source);
    SpanCopy result;
    if (posix_source != nullptr && fs_.kernel_copy) {
      auto in = static_cast<off64_t>(offset);
      while (result.copied < count) {
        size_t piece = static_cast<size_t>(std::min(count - result.copied, kKernelCopyPiece));
        ssize_t put = ::copy_file_range(posix_source->fd_, &in, fd_, nullptr, piece, 0);
        if (put < 0 && errno == EINTR) continue;
        // Another file system, a kernel without it, a file it cannot take (EXDEV, EINVAL,
        // ENOSYS, EOPNOTSUPP), a copy cut short, or any failure: the block copy goes on from here
        // and, on a failure, finds which side it was.
        if (put <= 0) break;
        result.copied += static_cast<uint64_t>(put);
        fs_.kernel_copied += static_cast<uint64_t>(put);
      }
      if (result.copied == count) return result;
    }
    SpanCopy rest = BlockCopySpan(*this, source, offset + static_cast<int64_t>(result.copied),
                                  count - result.copied);
    rest.copied += result.copied;
    return rest;
  }

  std::unique_ptr<FileView> View(int64_t offset, size_t size) override {
    struct stat info;
    if (!fs_.views || offset < 0 || ::fstat(fd_, &info) != 0) return nullptr;
    // Never past the end the file has now: a mapped page beyond it cannot be read.
    int64_t end = std::min(static_cast<int64_t>(info.st_size), offset + static_cast<int64_t>(size));
    if (end <= offset) return std::make_unique<PosixView>(nullptr, 0, "", 0, nullptr);
    int64_t page = ::sysconf(_SC_PAGESIZE);
    int64_t start = offset - offset % page;
    auto mapped = static_cast<size_t>(end - start);
    // Populated at once: one call instead of a page fault every few pages.
    void* mapping = ::mmap(nullptr, mapped, PROT_READ, MAP_SHARED | MAP_POPULATE, fd_,
                           static_cast<off_t>(start));
    if (mapping == MAP_FAILED) return nullptr;
    GuardedRange* guard = Guard(mapping, mapped);
    if (guard == nullptr) {
      ::munmap(mapping, mapped);
      return nullptr;
    }
    return std::make_unique<PosixView>(mapping, mapped,
                                       static_cast<const char*>(mapping) + (offset - start),
                                       static_cast<size_t>(end - offset), guard);
  }

  bool Close() override {
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) == 0) return true;
    Failed(errno);
    return false;
  }

  int SystemError() const override { return error_.load(); }

  // The source's bits as it was opened: a moment ago, and asking again costs a call per file.
  bool TakePermissions(File& source) override {
    auto* posix_source = dynamic_cast<PosixFile*>(&source);
    if (posix_source == nullptr) return false;
    mode_t mode = fs_.CopyBits(posix_source->mode_);
    // Created with them, by a mask that takes away none of them: the file has them already (or,
    // in a folder whose default ACL applies instead of the mask, fewer of them).
    if (created_bits_ == static_cast<int>(mode) && (mode & fs_.umask()) == 0) return true;
    return ::fchmod(fd_, mode) == 0;
  }

  mode_t mode() const { return mode_; }

 private:
  // Fills up to `count` bytes, at the position or, where `at` is given, from that offset on,
  // going on after a partial read or a signal: fewer only at the end of the file; -1 on an error.
  int64_t ReadFull(void* buffer, size_t count, off_t at) {
    auto* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
      ssize_t got = at < 0 ? ::read(fd_, out + done, count - done)
                           : ::pread(fd_, out + done, count - done, at + static_cast<off_t>(done));
      if (got < 0) {
        if (errno == EINTR) continue;
        return -1;
      }
      if (got == 0) break;
      done += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(done);
  }

  void Failed(int error) {
    int none = 0;
    error_.compare_exchange_strong(none, error);
  }

  PosixFileSystem& fs_;
  int fd_;
  mode_t mode_;
  int64_t opened_size_;
  int created_bits_;
  std::atomic<int> error_{0};  // written by the worker that writes behind, if any
};

}  // namespace

PosixFileSystem::PosixFileSystem() {
  // umask can only be read by setting it; at the start nothing else creates files meanwhile.
  mode_t mask = ::umask(0077);
  ::umask(mask);
  umask_ = mask;
}

PosixFileSystem::~PosixFileSystem() {
  for (const auto& claim : claims_) ::close(claim.second);
}

std::unique_ptr<File> PosixFileSystem::OpenDescriptor(const std::string& path, int flags,
                                                      mode_t mode) {
  // Never wait in open: a FIFO without a writer (or reader) would hold the program forever.
  int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, mode);
  if (fd < 0) {
    last_error_ = errno;
    return nullptr;
  }
  // A file this call created (O_EXCL also refuses a link) is a new regular file, for the owner
  // alone; anything else is looked at.
  if ((flags & (O_CREAT | O_EXCL)) == (O_CREAT | O_EXCL)) {
    last_error_ = 0;
    return std::make_unique<PosixFile>(*this, fd, S_IFREG | (mode & 0777 & ~umask_), -1,
                                       static_cast<int>(mode & 0777));
  }
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    last_error_ = errno;
    ::close(fd);
    return nullptr;
  }
  // A file that is read must be a regular file: reading a FIFO, socket or device could wait or
  // never end. A file only written may still be a device (an error log sent to /dev/null).
  bool reading = (flags & O_ACCMODE) != O_WRONLY;
  if (S_ISDIR(info.st_mode) || (reading && !S_ISREG(info.st_mode))) {
    ::close(fd);
    last_error_ = S_ISDIR(info.st_mode) ? EISDIR : ENXIO;
    return nullptr;
  }
  // Reads and writes of a regular file never wait, whatever the flag says: only another kind of
  // file must lose it, to be written to as usual.
  if (!S_ISREG(info.st_mode)) {
    int status = ::fcntl(fd, F_GETFL);
    if (status == -1 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) == -1) {
      last_error_ = errno;
      ::close(fd);
      return nullptr;
    }
  }
  last_error_ = 0;
  int64_t size = (flags & O_ACCMODE) == O_RDONLY ? static_cast<int64_t>(info.st_size) : -1;
  return std::make_unique<PosixFile>(*this, fd, info.st_mode, size, -1);
}

std::unique_ptr<File> PosixFileSystem::Open(const std::string& path, FileAccess access) {
  int flags = access == FileAccess::kRead    ? O_RDONLY
              : access == FileAccess::kWrite ? O_WRONLY
                                             : O_RDWR;
  if (access != FileAccess::kWrite) {
    // Not even opened when it is plainly no regular file (opening some devices does things);
    // the check after opening covers a file swapped in between.
    struct stat info;
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
      last_error_ = S_ISDIR(info.st_mode) ? EISDIR : ENXIO;
      return nullptr;
    }
  }
  return OpenDescriptor(path, flags);
}

std::unique_ptr<File> PosixFileSystem::Create(const std::string& path, CreateMode mode) {
  return CreateWithBits(path, mode, mode == CreateMode::kTemporary ? 0600 : 0666);
}

// The model's bits at once, where they are known: giving them afterwards is one more call per
// copy, and one that writes the new file's inode.
std::unique_ptr<File> PosixFileSystem::CreateLike(const std::string& path, CreateMode mode,
                                                  File& model) {
  auto* posix_model = dynamic_cast<PosixFile*>(&model);
  if (posix_model == nullptr) return Create(path, mode);
  return CreateWithBits(path, mode, CopyBits(posix_model->mode()));
}

std::unique_ptr<File> PosixFileSystem::CreateWithBits(const std::string& path, CreateMode mode,
                                                      mode_t bits) {
  if (mode == CreateMode::kTemporary) return CreateTemporary(path, bits);
  int flags = O_WRONLY | O_CREAT | (mode == CreateMode::kNew ? O_EXCL : O_TRUNC);
  return OpenDescriptor(path, flags, bits);
}

// The claim is a lock on a second descriptor of the file, kept until the file is renamed or
// erased: closing the file itself, which comes first, must not free the name while the
// complete copy still waits under it. The second descriptor is a duplicate: a flock belongs to
// the open file, which both share, so it outlives the first descriptor's close, and the path is
// not opened twice.
std::unique_ptr<File> PosixFileSystem::CreateTemporary(const std::string& path, mode_t bits) {
  // A few rounds, for a stale file that another run removes or renames at the same moment.
  for (int round = 0; round < 3; ++round) {
    std::unique_ptr<File> file =
        OpenDescriptor(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, bits);
    if (file != nullptr) {
      int claim = ::fcntl(static_cast<PosixFile&>(*file).descriptor(), F_DUPFD_CLOEXEC, 0);
      if (claim != -1 && ::flock(claim, LOCK_EX | LOCK_NB) == 0) {
        ReleaseClaim(path);
        claims_[path] = claim;
        return file;
      }
      // Someone took it between the two calls, as if it had been there first.
      if (claim != -1) ::close(claim);
      last_error_ = EEXIST;
      return nullptr;
    }
    if (last_error_ != EEXIST) return nullptr;
    if (!RemoveStale(path)) {
      last_error_ = EEXIST;
      return nullptr;
    }
  }
  last_error_ = EEXIST;
  return nullptr;
}

bool PosixFileSystem::RemoveStale(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd == -1) return errno == ENOENT;  // gone meanwhile: the name is free again
  struct stat held, named;
  bool stale =
      ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  // Locked, but perhaps only because its run renamed it away and let go meanwhile: it is stale
  // only while the name still leads to it.
  if (stale && (::stat(path.c_str(), &named) != 0 || named.st_dev != held.st_dev ||
                named.st_ino != held.st_ino)) {
    ::close(fd);
    return true;  // the name is free again, or holds a new file that the next round sees
  }
  if (stale) stale = ::unlink(path.c_str()) == 0;
  ::close(fd);
  return stale;
}

void PosixFileSystem::ReleaseClaim(const std::string& path) {
  auto claim = claims_.find(path);
  if (claim == claims_.end()) return;
  ::close(claim->second);
  claims_.erase(claim);
}

bool PosixFileSystem::Erase(const std::string& path) {
  last_error_ = ::unlink(path.c_str()) == 0 ? 0 : errno;
  ReleaseClaim(path);
  return last_error_ == 0;
}

bool PosixFileSystem::Rename(const std::string& from, const std::string& to) {
  last_error_ = ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
  ReleaseClaim(from);
  return last_error_ == 0;
}

bool PosixFileSystem::CreateFolder(const std::string& path) {
  // The user's file-creation mask decides who else may read it, as for any new folder.
  last_error_ = ::mkdir(path.c_str(), 0777) == 0 ? 0 : errno;
  if (last_error_ == EEXIST && IsFolder(path)) last_error_ = 0;
  return last_error_ == 0;
}

bool PosixFileSystem::IsFolder(const std::string& path) const {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<FileIdentity> PosixFileSystem::IdentifyFile(const std::string& path) const {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino), ""};
}

std::optional<FileIdentity> PosixFileSystem::IdentifyEntry(const std::string& path) const {
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  std::optional<FileIdentity> identity =
      folder_identities_.Get(folder, [&] { return IdentifyFile(folder); });
  if (identity) identity->name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  return identity;
}

std::unique_ptr<BlockMemory> PosixFileSystem::NewBlockMemory(size_t size) {
  if (kBlocksOnTheHeap) return FileSystem::NewBlockMemory(size);
  return NewKeptBlock(size, kLargePages);
}

std::string PosixFileSystem::ErrorText(int code) const {
  std::string text = std::strerror(code);
  // "No space left on device" reads as "no space left on device" inside a sentence.
  if (text.size() > 1 && text[0] >= 'A' && text[0] <= 'Z' && text[1] >= 'a' && text[1] <= 'z') {
    text[0] = static_cast<char>(text[0] - 'A' + 'a');
  }
  return text;
}

std::string AbsolutePosixPath(const std::string& path) {
  std::string full = path;
  if (full.empty() || full[0] != '/') {
    std::vector<char> cwd(4096);
    if (::getcwd(cwd.data(), cwd.size()) != nullptr) full = std::string(cwd.data()) + "/" + full;
  }
  return NormalSlashPath(full);
}

}  // namespace qef
