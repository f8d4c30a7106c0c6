#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/file_system.h"

namespace qef {

// A worker that does one output file's writes and span copies, in the order they are given,
// while the caller goes on: the repair parses the records ahead while the system copies the
// ones behind. What is given counts as accepted at once; a failure shows at the next thing
// given and at Wait. After a failure nothing more is written.
//
// The caller waits when the worker falls too far behind, so the output never trails the caller
// by more than a few megabytes, and the write buffers in flight stay few.
//
// Threads: there is one caller, the program's thread. It alone calls these methods and, through
// the run-time's file functions (which keep no locks), the file system and its files. The
// worker is the only other thread. What it was given and has not yet done is its own: the
// output until Wait, the inputs of its copies until WaitForCopies. It calls the output's Write,
// WriteAt and CopyFrom, which reads the input (and may seek it and back). Meanwhile the caller
// may call the file system and other files, and view those inputs (File::View, and the views),
// but nothing else of the output or of the inputs. A task that throws fails as a write does.
class WriteBehind {
 public:
  enum class Fault { kNone, kRead, kWrite };

  // Waits for the worker to finish what it was given: the output and the inputs are then the
  // caller's again, and may be closed.
  virtual ~WriteBehind() = default;
  // Takes the first `size` bytes of `buffer` to write, and leaves an empty or used buffer in
  // its place for the caller to fill next.
  virtual Fault Write(std::vector<char>& buffer, size_t size) = 0;
  // Writes `size` bytes over what the output holds at `offset`, before its position, which
  // stays. The bytes are copied.
  virtual Fault WriteAt(int64_t offset, const char* data, size_t size) = 0;
  // Copies `count` bytes of `input` from `offset` on. Fewer bytes than asked is a read failure:
  // the caller was told they were copied. The input must not be read, moved or closed by its
  // owner until WaitForCopies.
  virtual Fault Copy(File& input, int64_t offset, uint64_t count) = 0;
  // Waits until everything given is done; the first failure, if any.
  virtual Fault Wait() = 0;
  // Waits until no copy is left to do: the inputs are then their owners' again.
  virtual void WaitForCopies() = 0;
};

// Null where the build has no threads: the file is then written as it goes.
std::unique_ptr<WriteBehind> StartWriteBehind(File& output);

}  // namespace qef
