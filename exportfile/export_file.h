#pragma once

// Export files (.AEF and .MEF share one layout) are a flat sequence of records from offset 0 to
// the physical end of the file; there is no header, count, index or checksum. Each record is
// framed as record_frame.h says, its body opaque except for the three name records; the next
// record starts right after the body. An AEF_REC_END record is copied like any other; records
// after it are read too. A file is an uncompressed export file when it is at least 50 bytes
// long, holds "Export File" within its first 50 bytes and has 0x80 at offset 6; with another
// byte there it is a compressed export file, which is not processed.
//
// Damage is handled without reading or allocating more than the file holds:
//   - fewer than 6 bytes after the last record: a trailing fragment, copied unchanged;
//   - a body running past the end whose length is at most the file's size: the missing bytes
//     are spaces and the record keeps its declared length;
//   - a longer length (any with bit 31 set among them): the rest of the file from the record's
//     first byte is copied unchanged and reading stops.

#include <cstddef>
#include <cstdint>

#include "exportfile/ef_rec_type.h"
#include "exportfile/record_frame.h"
#include "runtime/file_functions.h"

namespace qef {

inline constexpr int64_t kExportFileTestSize = 50;

enum class FileTest { kAccepted, kNotExportFile, kCompressed, kReadError };

// Tests an open file and hands out its size. Leaves the file at offset 0 when accepted.
FileTest TestExportFile(FHandle file, int64_t& size);

// The framing bytes of one record exactly as stored. `stored` is below 6 for a trailing fragment.
struct RecordHeader {
  uint8_t raw[kRecordHeaderSize] = {};
  size_t stored = 0;

  bool IsFragment() const { return stored < kRecordHeaderSize; }
  uint16_t Type() const { return DecodeRecordFrame(raw).type; }
  uint32_t Length() const { return DecodeRecordFrame(raw).length; }
};

inline bool IsNameRecord(uint16_t type) {
  return type == AEF_REC_APPNAME || type == AEF_REC_SPATH || type == AEF_REC_MODNAME;
}

}  // namespace qef
