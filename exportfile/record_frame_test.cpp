#include "exportfile/record_frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qef {
namespace {

// Frames next to their bytes as a file stores them, written out by hand.
struct FrameCase {
  uint16_t type;
  uint32_t length;
  std::string bytes;
};

const FrameCase kFrames[] = {
    {0x0000, 0, std::string("\x00\x00\x00\x00\x00\x00", 6)},
    {0x0020, 7, std::string("\x20\x00\x07\x00\x00\x00", 6)},
    {0x0102, 0x01020304, std::string("\x02\x01\x04\x03\x02\x01", 6)},
    // High bytes, which a signed char would carry into the higher ones.
    {0xFFFF, 0x80FF7F81, std::string("\xFF\xFF\x81\x7F\xFF\x80", 6)},
    {0x00FF, 0xFFFFFFFF, std::string("\xFF\x00\xFF\xFF\xFF\xFF", 6)},
};

TEST(RecordFrameTest, DecodesTheStoredBytesLittleEndian) {
  for (const FrameCase& c : kFrames) {
    const RecordFrame frame = DecodeRecordFrame(c.bytes.data());
    EXPECT_EQ(frame.type, c.type) << std::hex << c.type;
    EXPECT_EQ(frame.length, c.length) << std::hex << c.length;
    const std::vector<uint8_t> raw(c.bytes.begin(), c.bytes.end());
    EXPECT_EQ(DecodeRecordFrame(raw.data()).length, c.length) << "as unsigned bytes";
  }
}

TEST(RecordFrameTest, EncodesTheBytesAFileStores) {
  for (const FrameCase& c : kFrames) {
    char bytes[kRecordHeaderSize] = {};
    EncodeRecordFrame({c.type, c.length}, bytes);
    EXPECT_EQ(std::string(bytes, sizeof bytes), c.bytes) << std::hex << c.type;
    std::string appended = "body before";
    AppendRecordFrame(appended, {c.type, c.length});
    EXPECT_EQ(appended, "body before" + c.bytes);
  }
}

}  // namespace
}  // namespace qef
