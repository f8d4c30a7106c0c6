#include "platform/win32/win32_file_system.h"

#include <windows.h>

#include <algorithm>

#include "runtime/block_copy.h"

namespace qef {

namespace {

class Win32File : public File {
 public:
  explicit Win32File(HANDLE handle) : handle_(handle) {}
  ~Win32File() override {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }

  int64_t Read(void* buffer, size_t count) override {
    auto* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
      DWORD piece = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
      DWORD got = 0;
      if (!ReadFile(handle_, out + done, piece, &got, nullptr)) return -1;
      if (got == 0) break;
      done += got;
    }
    return static_cast<int64_t>(done);
  }

  bool Write(const void* data, size_t count) override {
    const auto* in = static_cast<const char*>(data);
    size_t done = 0;
    while (done < count) {
      DWORD piece = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
      DWORD put = 0;
      if (!WriteFile(handle_, in + done, piece, &put, nullptr) || put == 0) return false;
      done += put;
    }
    return true;
  }

  int64_t Seek(int64_t offset, SeekOrigin origin) override {
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position;
    DWORD method = origin == SeekOrigin::kStart     ? FILE_BEGIN
                   : origin == SeekOrigin::kCurrent ? FILE_CURRENT
                                                    : FILE_END;
    if (!SetFilePointerEx(handle_, distance, &position, method)) return -1;
    return position.QuadPart;
  }

  int64_t Size() override {
    LARGE_INTEGER size;
    return GetFileSizeEx(handle_, &size) ? size.QuadPart : -1;
  }

  // Windows keeps the block copy, and no views: the record loop then reads in blocks.
  SpanCopy CopyFrom(File& source, int64_t offset, uint64_t count) override {
    return BlockCopySpan(*this, source, offset, count);
  }
  std::unique_ptr<FileView> View(int64_t, size_t) override { return nullptr; }

  HANDLE handle() const { return handle_; }

  bool Close() override {
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_;
};

std::string FullPath(const std::string& path) {
  char buffer[MAX_PATH * 4];
  DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
  if (length == 0 || length >= sizeof buffer) return path;
  std::string full(buffer, length);
  std::replace(full.begin(), full.end(), '/', '\\');
  return full;
}

}  // namespace

std::unique_ptr<File> Win32FileSystem::OpenHandle(const std::string& path, unsigned long access,
                                                  unsigned long disposition) {
  // Shared as the run-time's default (compatibility) mode shares: other handles, ours or other
  // programs', may read and write the file too.
  HANDLE handle =
      CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    last_error_ = static_cast<int>(GetLastError());
    return nullptr;
  }
  last_error_ = 0;
  return std::make_unique<Win32File>(handle);
}

std::unique_ptr<File> Win32FileSystem::Open(const std::string& path, FileAccess access) {
  DWORD rights = access == FileAccess::kRead    ? GENERIC_READ
                 : access == FileAccess::kWrite ? GENERIC_WRITE
                                                : GENERIC_READ | GENERIC_WRITE;
  std::unique_ptr<File> file = OpenHandle(path, rights, OPEN_EXISTING);
  // A file that is read must be a file on a disk: reading a pipe, the console (CON) or another
  // device could wait forever.
  if (file != nullptr && access != FileAccess::kWrite &&
      GetFileType(static_cast<Win32File&>(*file).handle()) != FILE_TYPE_DISK) {
    file.reset();
    last_error_ = ERROR_INVALID_FUNCTION;
  }
  return file;
}

std::unique_ptr<File> Win32FileSystem::Create(const std::string& path, CreateMode mode) {
  return OpenHandle(path, GENERIC_WRITE, mode == CreateMode::kNew ? CREATE_NEW : CREATE_ALWAYS);
}

bool Win32FileSystem::Erase(const std::string& path) {
  last_error_ = DeleteFileA(path.c_str()) ? 0 : static_cast<int>(GetLastError());
  return last_error_ == 0;
}

bool Win32FileSystem::Rename(const std::string& from, const std::string& to) {
  bool moved = MoveFileExA(from.c_str(), to.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  last_error_ = moved ? 0 : static_cast<int>(GetLastError());
  return moved;
}

bool Win32FileSystem::SameName(const std::string& a, const std::string& b) const {
  return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, FullPath(a).c_str(), -1,
                        FullPath(b).c_str(), -1) == CSTR_EQUAL;
}

}  // namespace qef
