// Reads the animation clip the build drew back with this test's own RIFF walker and RLE8 decoder.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace qef {
namespace {

constexpr int kWidth = 80;
constexpr int kHeight = 60;
constexpr int kFrames = 16;

unsigned Byte(std::string_view bytes, size_t at) { return static_cast<uint8_t>(bytes[at]); }
unsigned Le16(std::string_view bytes, size_t at) {
  return Byte(bytes, at) | Byte(bytes, at + 1) << 8;
}
unsigned Le32(std::string_view bytes, size_t at) {
  return Le16(bytes, at) | Le16(bytes, at + 2) << 16;
}

struct Chunk {
  std::string code;
  std::string_view data;  // for RIFF and LIST: after the form type
  std::string form;
  size_t offset;  // of the chunk's code within the data it was found in
};

// Every chunk in `data`; a size running past the end fails the test.
std::vector<Chunk> Chunks(std::string_view data) {
  std::vector<Chunk> chunks;
  size_t at = 0;
  while (at < data.size()) {
    EXPECT_LE(at + 8, data.size());
    if (at + 8 > data.size()) break;
    unsigned size = Le32(data, at + 4);
    EXPECT_LE(at + 8 + size, data.size()) << "chunk at " << at;
    if (at + 8 + size > data.size()) break;
    Chunk chunk{std::string(data.substr(at, 4)), data.substr(at + 8, size), "", at};
    if (chunk.code == "RIFF" || chunk.code == "LIST") {
      chunk.form = std::string(chunk.data.substr(0, 4));
      chunk.data.remove_prefix(4);
    }
    chunks.push_back(chunk);
    at += 8 + size + size % 2;
  }
  return chunks;
}

// Decodes one frame that uses only runs, literals, end of row and end of bitmap, each row
// filled exactly; returns the rows top row first.
std::optional<std::vector<uint8_t>> DecodeStrictRle8(std::string_view data) {
  std::vector<uint8_t> pixels(kWidth * kHeight);
  int x = 0, row = 0;  // row counts from the bottom
  for (size_t at = 0; at + 1 < data.size(); at += 2) {
    unsigned count = Byte(data, at), value = Byte(data, at + 1);
    if (count > 0 || value >= 3) {
      bool literal = count == 0;
      unsigned n = literal ? value : count;
      if (row >= kHeight || x + static_cast<int>(n) > kWidth) return std::nullopt;
      if (literal && at + 2 + n > data.size()) return std::nullopt;
      for (unsigned i = 0; i < n; ++i) {
        pixels[(kHeight - 1 - row) * kWidth + x++] = literal ? Byte(data, at + 2 + i) : value;
      }
      if (literal) at += n + n % 2;
    } else if (value == 0) {
      if (x != kWidth) return std::nullopt;
      x = 0;
      ++row;
    } else if (value == 1) {
      if (row != kHeight || at + 2 != data.size()) return std::nullopt;
      return pixels;
    } else {
      return std::nullopt;  // a delta: the clip's frames are whole pictures
    }
  }
  return std::nullopt;
}

int Differences(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  int count = 0;
  for (size_t i = 0; i < a.size(); ++i) count += a[i] != b[i];
  return count;
}

class QspinClipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ifstream in(std::string(QEF_RESOURCE_DIR) + "/QSPIN.avi", std::ios::binary);
    file_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    auto top = Chunks(file_);
    ASSERT_EQ(top.size(), 1u);
    ASSERT_EQ(top[0].code, "RIFF");
    ASSERT_EQ(top[0].form, "AVI ");
    ASSERT_EQ(Le32(file_, 4), file_.size() - 8);
    body_ = Chunks(top[0].data);
  }

  const Chunk* Find(const std::vector<Chunk>& chunks, const std::string& code,
                    const std::string& form = "") {
    for (const Chunk& chunk : chunks) {
      if (chunk.code == code && chunk.form == form) return &chunk;
    }
    return nullptr;
  }

  std::vector<std::vector<uint8_t>> DecodedFrames() {
    std::vector<std::vector<uint8_t>> frames;
    const Chunk* movi = Find(body_, "LIST", "movi");
    if (!movi) return frames;
    for (const Chunk& chunk : Chunks(movi->data)) {
      auto frame = DecodeStrictRle8(chunk.data);
      EXPECT_TRUE(frame.has_value()) << "frame " << frames.size() + 1;
      if (frame) frames.push_back(*frame);
    }
    return frames;
  }

  std::string file_;
  std::vector<Chunk> body_;
};

TEST_F(QspinClipTest, HasAHeaderListAMovieListAndAnIndexInThatOrder) {
  ASSERT_EQ(body_.size(), 3u);
  EXPECT_EQ(body_[0].form, "hdrl");
  EXPECT_EQ(body_[1].form, "movi");
  EXPECT_EQ(body_[2].code, "idx1");
}

TEST_F(QspinClipTest, MainHeaderGives66667MicrosecondsPerFrame16FramesOneStream80By60) {
  const Chunk* hdrl = Find(body_, "LIST", "hdrl");
  ASSERT_NE(hdrl, nullptr);
  auto headers = Chunks(hdrl->data);
  const Chunk* avih = Find(headers, "avih");
  ASSERT_NE(avih, nullptr);
  ASSERT_EQ(avih->data.size(), 56u);
  EXPECT_EQ(Le32(avih->data, 0), 66667u);
  EXPECT_EQ(Le32(avih->data, 12) & 0x10, 0x10u);  // AVIF_HASINDEX
  EXPECT_EQ(Le32(avih->data, 16), 16u);
  EXPECT_EQ(Le32(avih->data, 24), 1u);
  EXPECT_EQ(Le32(avih->data, 32), 80u);
  EXPECT_EQ(Le32(avih->data, 36), 60u);
  // One stream list and no other.
  int stream_lists = 0;
  for (const Chunk& chunk : headers) stream_lists += chunk.form == "strl";
  EXPECT_EQ(stream_lists, 1);
}

TEST_F(QspinClipTest, StreamIsRle8VideoHandledByMrleAt15FramesPerSecond) {
  const Chunk* hdrl = Find(body_, "LIST", "hdrl");
  ASSERT_NE(hdrl, nullptr);
  auto headers = Chunks(hdrl->data);
  const Chunk* strl = Find(headers, "LIST", "strl");
  ASSERT_NE(strl, nullptr);
  auto stream = Chunks(strl->data);
  const Chunk* strh = Find(stream, "strh");
  const Chunk* strf = Find(stream, "strf");
  ASSERT_NE(strh, nullptr);
  ASSERT_NE(strf, nullptr);
  ASSERT_EQ(strh->data.size(), 56u);
  EXPECT_EQ(strh->data.substr(0, 8), "vidsmrle");
  EXPECT_EQ(Le32(strh->data, 20), 1u);   // scale
  EXPECT_EQ(Le32(strh->data, 24), 15u);  // rate
  EXPECT_EQ(Le32(strh->data, 32), 16u);  // length
  EXPECT_EQ(Le16(strh->data, 52), 80u);
  EXPECT_EQ(Le16(strh->data, 54), 60u);

  ASSERT_EQ(strf->data.size(), 40u + 1024u);
  EXPECT_EQ(Le32(strf->data, 0), 40u);
  EXPECT_EQ(Le32(strf->data, 4), 80u);
  EXPECT_EQ(Le32(strf->data, 8), 60u);
  EXPECT_EQ(Le16(strf->data, 12), 1u);
  EXPECT_EQ(Le16(strf->data, 14), 8u);
  EXPECT_EQ(Le32(strf->data, 16), 1u);  // BI_RLE8
  EXPECT_EQ(Le32(strf->data, 32), 256u);
}

TEST_F(QspinClipTest, IndexPointsAtSixteenKeyFrameChunks) {
  const Chunk* movi = Find(body_, "LIST", "movi");
  const Chunk* idx1 = Find(body_, "idx1");
  ASSERT_NE(movi, nullptr);
  ASSERT_NE(idx1, nullptr);
  auto frames = Chunks(movi->data);
  ASSERT_EQ(frames.size(), 16u);
  ASSERT_EQ(idx1->data.size(), 16u * 16u);
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].code, "00dc");
    std::string_view entry = idx1->data.substr(16 * i, 16);
    EXPECT_EQ(entry.substr(0, 4), "00dc");
    EXPECT_EQ(Le32(entry, 4), 0x10u);  // AVIIF_KEYFRAME
    // Offsets count from the 'movi' code, which stands 4 bytes before the first chunk.
    EXPECT_EQ(Le32(entry, 8), frames[i].offset + 4);
    EXPECT_EQ(Le32(entry, 12), frames[i].data.size());
  }
}

TEST_F(QspinClipTest, FramesDecodeToWholePicturesThatMoveEveryFrame) {
  auto frames = DecodedFrames();
  ASSERT_EQ(frames.size(), static_cast<size_t>(kFrames));
  for (int i = 0; i < kFrames; ++i) {
    int next = (i + 1) % kFrames;
    EXPECT_GT(Differences(frames[i], frames[next]), 40) << "frame " << i + 1 << " to " << next + 1;
    // The corners show the background, whose colour the animation control keys out.
    for (int corner : {0, kWidth - 1, kWidth * (kHeight - 1), kWidth * kHeight - 1}) {
      EXPECT_EQ(frames[i][corner], frames[0][0]) << "frame " << i + 1;
    }
  }
}

TEST_F(QspinClipTest, LoopsWithoutAJumpFromTheLastFrameToTheFirst) {
  auto frames = DecodedFrames();
  ASSERT_EQ(frames.size(), static_cast<size_t>(kFrames));
  int largest_step = 0;
  for (int i = 0; i + 1 < kFrames; ++i) {
    largest_step = std::max(largest_step, Differences(frames[i], frames[i + 1]));
  }
  EXPECT_LE(Differences(frames[kFrames - 1], frames[0]), largest_step);
}

TEST_F(QspinClipTest, BackgroundColourIsUsedByNothingElse) {
  const Chunk* hdrl = Find(body_, "LIST", "hdrl");
  ASSERT_NE(hdrl, nullptr);
  auto headers = Chunks(hdrl->data);
  const Chunk* strl = Find(headers, "LIST", "strl");
  ASSERT_NE(strl, nullptr);
  auto stream = Chunks(strl->data);
  const Chunk* strf = Find(stream, "strf");
  ASSERT_NE(strf, nullptr);
  auto frames = DecodedFrames();
  ASSERT_FALSE(frames.empty());
  unsigned background = frames[0][0];
  auto colour = [&](unsigned index) { return Le32(strf->data, 40 + 4 * index) & 0xFFFFFF; };
  for (const auto& frame : frames) {
    for (uint8_t index : frame) {
      if (index != background) {
        EXPECT_NE(colour(index), colour(background));
      }
    }
  }
}

}  // namespace
}  // namespace qef
