#include "platform/win32/win32_file_system.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <atomic>

#include "platform/block_copy.h"
#include "platform/kept_block.h"

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
      if (!WriteFile(handle_, in + done, piece, &put, nullptr) || put == 0) {
        if (error_ == 0) error_ = static_cast<int>(GetLastError());
        return false;
      }
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
  int SystemError() const override { return error_; }

  bool Close() override {
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_;
  std::atomic<int> error_{0};  // written by the worker that writes behind, if any
};

std::string FullPath(const std::string& path) {
  char buffer[MAX_PATH * 4];
  DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
  if (length == 0 || length >= sizeof buffer) return path;
  std::string full(buffer, length);
  std::replace(full.begin(), full.end(), '/', '\\');
  return full;
}

// A name as Windows compares names: without regard to letter case.
std::string Folded(std::string name) {
  if (!name.empty()) CharUpperBuffA(name.data(), static_cast<DWORD>(name.size()));
  return name;
}

// Pages of their own for blocks: the heap gives a block of half a MiB or more back to the system
// when it is freed, and the next file's block then faults in every page again.
char* TakeVirtualPages(size_t size, size_t& mapped) {
  mapped = size;
  return static_cast<char*>(VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
}

void GiveBackVirtualPages(char* data, size_t /*mapped*/) { VirtualFree(data, 0, MEM_RELEASE); }

constexpr PageSource kVirtualPages{TakeVirtualPages, GiveBackVirtualPages};

}  // namespace

std::unique_ptr<BlockMemory> Win32FileSystem::NewBlockMemory(size_t size) {
  return NewKeptBlock(size, kVirtualPages);
}

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
  if (mode == CreateMode::kTruncate) return OpenHandle(path, GENERIC_WRITE, CREATE_ALWAYS);
  std::unique_ptr<File> file = OpenHandle(path, GENERIC_WRITE, CREATE_NEW);
  // A temporary file is claimed by its open handle, which shares no deleting, until it is
  // renamed: a stale one, which no handle holds, can be deleted and made anew.
  if (file == nullptr && mode == CreateMode::kTemporary &&
      (last_error_ == ERROR_FILE_EXISTS || last_error_ == ERROR_ALREADY_EXISTS) &&
      DeleteFileA(path.c_str())) {
    file = OpenHandle(path, GENERIC_WRITE, CREATE_NEW);
  }
  return file;
}

bool Win32FileSystem::Erase(const std::string& path) {
  last_error_ = DeleteFileA(path.c_str()) ? 0 : static_cast<int>(GetLastError());
  return last_error_ == 0;
}

bool Win32FileSystem::Move(const std::string& from, const std::string& to, unsigned long flags) {
  bool moved = MoveFileExA(from.c_str(), to.c_str(), flags | MOVEFILE_WRITE_THROUGH) != 0;
  last_error_ = moved ? 0 : static_cast<int>(GetLastError());
  return moved;
}

bool Win32FileSystem::Rename(const std::string& from, const std::string& to) {
  return Move(from, to, MOVEFILE_REPLACE_EXISTING);
}

bool Win32FileSystem::RenameIfFree(const std::string& from, const std::string& to) {
  return Move(from, to, 0);
}

bool Win32FileSystem::CreateFolder(const std::string& path) {
  last_error_ = CreateDirectoryA(path.c_str(), nullptr) ? 0 : static_cast<int>(GetLastError());
  // A drive's root cannot be made, and is there: as for any folder that exists, that is success.
  if (last_error_ != 0 && IsFolder(path)) last_error_ = 0;
  return last_error_ == 0;
}

bool Win32FileSystem::IsFolder(const std::string& path) const {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

// No rights asked: only the file's information is read. Folders open with backup semantics.
HANDLE OpenForInformation(const std::string& path) {
  return CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

FileIdentity IdentityOf(HANDLE handle, const std::string& path) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) return FileIdentity{0, 0, Folded(FullPath(path))};
  return FileIdentity{info.dwVolumeSerialNumber,
                      (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow, ""};
}

// The file's index on its volume, asked without the volume: under Wine, asking the volume (as
// GetFileInformationByHandle does) is a call to the mount manager in another process, five
// times what opening the file costs. Nothing where the file system gives no index. The call
// is looked up in ntdll.dll, which every Windows has loaded, so the program imports no more.
std::optional<uint64_t> FileIndex(HANDLE handle) {
  using QueryInformationFile =
      NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);
  static const auto query = reinterpret_cast<QueryInformationFile>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationFile")));
  IO_STATUS_BLOCK status;
  FILE_INTERNAL_INFORMATION info;
  if (query == nullptr ||
      query(handle, &status, &info, sizeof info, FileInternalInformation) != 0) {
    return std::nullopt;
  }
  return static_cast<uint64_t>(info.IndexNumber.QuadPart);
}

}  // namespace

std::optional<FileIdentity> Win32FileSystem::IdentifyFile(const std::string& path) const {
  HANDLE handle = OpenForInformation(path);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  FileIdentity identity = IdentityOf(handle, path);
  CloseHandle(handle);
  return identity;
}

bool Win32FileSystem::SameFile(const std::string& first, const std::string& second) const {
  HANDLE one = OpenForInformation(first);
  if (one == INVALID_HANDLE_VALUE) return false;
  HANDLE other = OpenForInformation(second);
  bool same = false;
  if (other != INVALID_HANDLE_VALUE) {
    // Different indexes are different files, whatever their volumes; equal ones may be one file
    // or files of two volumes, and are compared whole.
    std::optional<uint64_t> one_index = FileIndex(one);
    std::optional<uint64_t> other_index = FileIndex(other);
    same = one_index && other_index && *one_index != *other_index
               ? false
               : IdentityOf(one, first) == IdentityOf(other, second);
    CloseHandle(other);
  }
  CloseHandle(one);
  return same;
}

std::optional<FileIdentity> Win32FileSystem::IdentifyEntry(const std::string& path) const {
  std::string full = FullPath(path);
  size_t separator = full.find_last_of('\\');
  if (separator != std::string::npos) {
    std::string folder = full.substr(0, separator);
    if (folder.size() == 2 && folder[1] == ':') folder += '\\';  // the drive's root
    std::optional<FileIdentity> identity =
        folder_identities_.Get(Folded(folder), [&] { return IdentifyFile(folder); });
    if (identity) {
      identity->name = Folded(full.substr(separator + 1));
      return identity;
    }
  }
  return FileIdentity{0, 0, Folded(full)};
}

std::string Win32FileSystem::ErrorText(int code) const {
  char* buffer = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = length > 0 && buffer != nullptr ? std::string(buffer, length)
                                                     : "error " + std::to_string(code);
  if (buffer != nullptr) LocalFree(buffer);
  // "Access is denied.\r\n" reads as "access is denied" inside parentheses.
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == '.' || text.back() == ' ')) {
    text.pop_back();
  }
  if (text.size() > 1 && text[0] >= 'A' && text[0] <= 'Z' && text[1] >= 'a' && text[1] <= 'z') {
    text[0] = static_cast<char>(text[0] - 'A' + 'a');
  }
  return text;
}

}  // namespace qef
