#pragma once

#include <cstdint>

#include "runtime/file_system.h"

namespace qef {

// CopyFrom through memory, block by block: what a backend does where the system cannot copy
// from file to file itself.
SpanCopy BlockCopySpan(File& to, File& from, int64_t offset, uint64_t count);

}  // namespace qef
