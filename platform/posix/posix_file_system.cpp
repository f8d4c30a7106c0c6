#include "platform/posix/posix_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace qef {

namespace {

class PosixFile : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  int64_t Read(void* buffer, size_t count) override {
    auto* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
      ssize_t got = ::read(fd_, out + done, count - done);
      if (got < 0) {
        if (errno == EINTR) continue;
        return -1;
      }
      if (got == 0) break;
      done += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(done);
  }

  bool Write(const void* data, size_t count) override {
    const auto* in = static_cast<const char*>(data);
    size_t done = 0;
    while (done < count) {
      ssize_t put = ::write(fd_, in + done, count - done);
      if (put < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      done += static_cast<size_t>(put);
    }
    return true;
  }

  int64_t Seek(int64_t offset, SeekOrigin origin) override {
    int whence = origin == SeekOrigin::kStart     ? SEEK_SET
                 : origin == SeekOrigin::kCurrent ? SEEK_CUR
                                                  : SEEK_END;
    return static_cast<int64_t>(::lseek(fd_, static_cast<off_t>(offset), whence));
  }

  int64_t Size() override {
    struct stat info;
    if (::fstat(fd_, &info) != 0) return -1;
    return static_cast<int64_t>(info.st_size);
  }

  bool Close() override {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<File> PosixFileSystem::OpenDescriptor(const std::string& path, int flags) {
  // Never wait in open: a FIFO without a writer (or reader) would hold the program forever.
  int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) {
    last_error_ = errno;
    return nullptr;
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
  int status = ::fcntl(fd, F_GETFL);
  if (status == -1 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) == -1) {
    last_error_ = errno;
    ::close(fd);
    return nullptr;
  }
  last_error_ = 0;
  return std::make_unique<PosixFile>(fd);
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
  int flags = O_WRONLY | O_CREAT | (mode == CreateMode::kNew ? O_EXCL : O_TRUNC);
  return OpenDescriptor(path, flags);
}

bool PosixFileSystem::Erase(const std::string& path) {
  last_error_ = ::unlink(path.c_str()) == 0 ? 0 : errno;
  return last_error_ == 0;
}

bool PosixFileSystem::Rename(const std::string& from, const std::string& to) {
  last_error_ = ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
  return last_error_ == 0;
}

bool PosixFileSystem::SameName(const std::string& a, const std::string& b) const {
  return AbsolutePosixPath(a) == AbsolutePosixPath(b);
}

std::string AbsolutePosixPath(const std::string& path) {
  std::string full = path;
  if (full.empty() || full[0] != '/') {
    std::vector<char> cwd(4096);
    if (::getcwd(cwd.data(), cwd.size()) != nullptr) full = std::string(cwd.data()) + "/" + full;
  }
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= full.size()) {
    size_t end = full.find('/', start);
    if (end == std::string::npos) end = full.size();
    std::string part = full.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result;
  for (const auto& part : parts) result += "/" + part;
  return result.empty() ? "/" : result;
}

}  // namespace qef
