#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace qef {

// Writes all `size` bytes to `fd`, at its position or, where `at` is given, from that offset on
// (the position then stays), going on after a partial write or a signal; false, with errno
// telling why, when the descriptor takes no more.
inline bool WriteAll(int fd, const void* data, size_t size, off_t at = -1) {
  const auto* in = static_cast<const char*>(data);
  for (size_t done = 0; done < size;) {
    ssize_t put = at < 0 ? ::write(fd, in + done, size - done)
                         : ::pwrite(fd, in + done, size - done, at + static_cast<off_t>(done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (put == 0) errno = EIO;  // nothing taken, and nothing said why
      return false;
    }
    done += static_cast<size_t>(put);
  }
  return true;
}

}  // namespace qef
