#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qef {

enum class SeekOrigin { kStart = 0, kCurrent = 1, kEnd = 2 };

// What a span copy did: the bytes copied, and which side failed when one did.
struct SpanCopy {
  uint64_t copied = 0;
  bool read_failed = false;
  bool write_failed = false;
};

// Memory that blocks of a file are read into, at least the size asked for. Its bytes are not set.
class BlockMemory {
 public:
  virtual ~BlockMemory() = default;
  virtual char* data() = 0;
};

// Block memory on the heap: what a backend without better memory gives.
class HeapBlockMemory : public BlockMemory {
 public:
  explicit HeapBlockMemory(size_t size) : data_(std::make_unique_for_overwrite<char[]>(size)) {}
  char* data() override { return data_.get(); }

 private:
  std::unique_ptr<char[]> data_;
};

// A read-only view of part of an open file, valid until it is destroyed.
class FileView {
 public:
  virtual ~FileView() = default;
  virtual const char* data() const = 0;
  virtual size_t size() const = 0;
  // False once a part of the view could not be read (the file was cut, or the disk failed
  // under it); such a part then reads as zero bytes.
  virtual bool Intact() const { return true; }
};

// One open file of a backend. The contract every backend keeps:
// - Read fills at most `count` bytes and returns how many it filled; fewer than asked only at the
//   end of the file. It returns -1 on an error. Bytes of the buffer past what was filled are
//   left as they were.
// - Write writes all `count` bytes or returns false.
// - Seek returns the new position, or -1 (the position is then unchanged).
// - CopyFrom copies `count` bytes of `source` from `offset` to this file's position, which moves on
//   by what was copied; the source's position does not change. Fewer than `count` are copied
//   without a failure only when the source ends first.
// - View maps up to `size` bytes from `offset`, fewer where the file ends now; null when the
//   backend has no views or the mapping failed, and the caller then reads instead.
// - WriteAt writes all `count` bytes at `offset` or returns false; the position stays where it was.
// - ReadAt fills at most `count` bytes from `offset` as Read does, and the position stays where it
//   was; a backend that has such a read says so (ReadsAt), any other returns -1.
// - Close releases the file; false when data could not be written out.
// Threads: a file is called from one thread at a time, the program's, with one exception.
// While a file is written behind the program (runtime/write_behind.h), its Write, WriteAt and
// CopyFrom run on a worker thread, CopyFrom reading its source there; meanwhile the program's
// thread may call the file system, View that source (and read the views) or ReadAt it, and use
// the files the worker does not touch. What a backend's files share must bear those calls beside
// the worker's; the counts that writes and copies keep for tests hold only while no other file
// is written meanwhile, as in the repair.
class File {
 public:
  virtual ~File() = default;
  virtual int64_t Read(void* buffer, size_t count) = 0;
  virtual bool Write(const void* data, size_t count) = 0;
  virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
  // A backend with a positioned write overrides this one, which seeks there and back.
  virtual bool WriteAt(int64_t offset, const void* data, size_t count) {
    int64_t position = Seek(0, SeekOrigin::kCurrent);
    return position >= 0 && Seek(offset, SeekOrigin::kStart) == offset && Write(data, count) &&
           Seek(position, SeekOrigin::kStart) == position;
  }
  virtual int64_t ReadAt(int64_t /*offset*/, void* /*buffer*/, size_t /*count*/) { return -1; }
  virtual bool ReadsAt() const { return false; }
  virtual int64_t Size() = 0;  // -1 on an error
  virtual SpanCopy CopyFrom(File& source, int64_t offset, uint64_t count) = 0;
  virtual std::unique_ptr<FileView> View(int64_t offset, size_t size) = 0;
  virtual bool Close() = 0;
  // The system's code for the first write or close of this file that failed; 0 when none did
  // or the system gave no code.
  virtual int SystemError() const { return 0; }
  // Gives this file the permission bits of `source`, less the write bits the user's file-creation
  // mask removes; true where the system keeps no such bits (Windows: the folder's rights apply).
  virtual bool TakePermissions(File& /*source*/) { return true; }
};

enum class FileAccess { kRead, kWrite, kReadWrite };
enum class CreateMode {
  kTruncate,   // create, or empty an existing file
  kNew,        // create only if no file of that name exists
  kTemporary,  // as kNew, for the owner alone, and in place of a stale temporary file (below)
};

// Which file a path leads to, however the path names it: paths whose identities are equal lead
// to one file, through links, "..", or a letter case the system ignores.
struct FileIdentity {
  uint64_t volume = 0;  // POSIX: the device; Windows: the volume's serial number
  uint64_t file = 0;    // POSIX: the inode; Windows: the file index
  std::string name;     // of a folder entry: its name as the system compares names
  bool operator==(const FileIdentity& other) const = default;
  auto operator<=>(const FileIdentity& other) const = default;
};

// The file system of a backend. Failures return null or false and leave an error code that
// LastError() reports until the next call; 0 means no error.
// A file created with CreateMode::kTemporary is claimed from its creation until this file
// system renames or erases it, or the program ends. Creating a temporary file of a name that
// exists replaces that file when nobody claims it (a run that was killed left it behind), and
// fails as kNew does when some program does.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual std::unique_ptr<File> Open(const std::string& path, FileAccess access) = 0;
  virtual std::unique_ptr<File> Create(const std::string& path, CreateMode mode) = 0;
  // As Create, for a file that takes `model`'s permission bits next (File::TakePermissions): a
  // backend that can create it with them at once spares that call. It is never more open than
  // those bits.
  virtual std::unique_ptr<File> CreateLike(const std::string& path, CreateMode mode,
                                           File& /*model*/) {
    return Create(path, mode);
  }
  virtual bool Erase(const std::string& path) = 0;
  // Renames `from` to `to`, replacing a file of that name in one step.
  virtual bool Rename(const std::string& from, const std::string& to) = 0;
  // Renames `from` to `to` only where no file has that name; false when one has, or on a
  // failure. A backend that cannot do it in one step leaves it to the caller: false, and
  // nothing renamed.
  virtual bool RenameIfFree(const std::string& /*from*/, const std::string& /*to*/) {
    return false;
  }
  // Whether asking after a name that is not there costs much: under Wine each such name is
  // looked for in the whole folder, in every letter case.
  virtual bool MissingNamesAreDear() const { return false; }
  // Makes the folder; true also when a folder of that name is there already. False when it
  // cannot be made: its parent is missing, a file has its name, or the folder is not writable.
  virtual bool CreateFolder(const std::string& path) = 0;
  // True when the path leads to a folder now, links followed.
  virtual bool IsFolder(const std::string& path) const = 0;
  virtual int LastError() const = 0;
  // The characters that end a folder name in a path: "/" on POSIX, "\\/" on Windows.
  virtual std::string_view PathSeparators() const = 0;
  // The file the path leads to now, links followed; nothing when there is none.
  virtual std::optional<FileIdentity> IdentifyFile(const std::string& path) const = 0;
  // Whether both paths lead to one file now, links followed; false when the first leads to none
  // (the second is then not looked at).
  virtual bool SameFile(const std::string& first, const std::string& second) const {
    std::optional<FileIdentity> file = IdentifyFile(first);
    return file && file == IdentifyFile(second);
  }
  // The folder entry the path names, the one that creating or renaming a file of that path
  // replaces: its folder's identity and its name. Nothing when the folder cannot be found.
  virtual std::optional<FileIdentity> IdentifyEntry(const std::string& path) const = 0;
  // Memory for blocks of file data of `size` bytes (BlockMemory); null when there is none.
  virtual std::unique_ptr<BlockMemory> NewBlockMemory(size_t size) {
    return std::make_unique<HeapBlockMemory>(size);
  }
  // The system's words for an error code of LastError().
  virtual std::string ErrorText(int code) const = 0;
};

}  // namespace qef
