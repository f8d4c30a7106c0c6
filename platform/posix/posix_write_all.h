#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace qef {

// Writes all `size` bytes to `fd`, going on after a partial write or a signal; false, with errno
// telling why, when the descriptor takes no more.
inline bool WriteAll(int fd, const void* data, size_t size) {
  const auto* in = static_cast<const char*>(data);
  for (size_t done = 0; done < size;) {
    ssize_t put = ::write(fd, in + done, size - done);
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
