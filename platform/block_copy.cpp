#include "platform/block_copy.h"

#include <algorithm>
#include <vector>

namespace qef {

namespace {
constexpr size_t kBlockCopySize = 1 << 20;
}  // namespace

SpanCopy BlockCopySpan(File& to, File& from, int64_t offset, uint64_t count) {
  SpanCopy result;
  // The source's position belongs to its owner (the run-time buffers reads ahead of it).
  int64_t position = from.Seek(0, SeekOrigin::kCurrent);
  if (position < 0 || from.Seek(offset, SeekOrigin::kStart) < 0) {
    result.read_failed = true;
    return result;
  }
  std::vector<char> block(static_cast<size_t>(std::min<uint64_t>(count, kBlockCopySize)));
  while (result.copied < count) {
    size_t wanted = static_cast<size_t>(std::min<uint64_t>(count - result.copied, block.size()));
    int64_t got = from.Read(block.data(), wanted);
    if (got < 0) {
      result.read_failed = true;
      break;
    }
    if (got > 0 && !to.Write(block.data(), static_cast<size_t>(got))) {
      result.write_failed = true;
      break;
    }
    result.copied += static_cast<uint64_t>(got);
    if (static_cast<size_t>(got) < wanted) break;  // the source ended
  }
  if (from.Seek(position, SeekOrigin::kStart) < 0) result.read_failed = true;
  return result;
}

}  // namespace qef
