#include "exportfile/export_file.h"

#include <string_view>

namespace qef {

FileTest TestExportFile(FHandle file, int64_t& size) {
  FSeek(file, 0, 0);
  size = FSeek(file, 0, 2);
  FSeek(file, 0, 0);
  if (size < 0 || FError() != 0) return FileTest::kReadError;
  if (size < kExportFileTestSize) return FileTest::kNotExportFile;

  char head[kExportFileTestSize];
  size_t got = FRead(file, head, sizeof head);
  if (FError() != 0 || got < sizeof head) return FileTest::kReadError;
  if (std::string_view(head, sizeof head).find("Export File") == std::string_view::npos) {
    return FileTest::kNotExportFile;
  }
  if (static_cast<uint8_t>(head[6]) != 0x80) return FileTest::kCompressed;
  FSeek(file, 0, 0);
  return FileTest::kAccepted;
}

}  // namespace qef
