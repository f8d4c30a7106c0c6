#include "tools/avi_file.h"

#include <algorithm>

#include "tools/byte_order.h"

namespace qef {

namespace {

constexpr size_t kStrfBytes = 40 + 256 * 4;

// Starts a chunk (or a LIST/RIFF with its form type) and returns where its size goes.
size_t BeginChunk(std::string& out, std::string_view code, std::string_view form = {}) {
  PutFourCc(out, code);
  size_t size_at = out.size();
  PutLe32(out, 0);
  if (!form.empty()) PutFourCc(out, form);
  return size_at;
}

void EndChunk(std::string& out, size_t size_at) {
  PatchLe32(out, size_at, static_cast<uint32_t>(out.size() - size_at - 4));
  if (out.size() % 2 != 0) out += '\0';
}

struct Chunk {
  std::string_view code;
  std::string_view data;  // for a LIST: the data after the form type
  std::string_view form;
};

// Splits the data of a RIFF or LIST into its chunks; nothing when a size runs past the end.
std::optional<std::vector<Chunk>> Chunks(std::string_view data) {
  std::vector<Chunk> chunks;
  while (data.size() >= 8) {
    Chunk chunk;
    chunk.code = data.substr(0, 4);
    uint32_t size = GetLe32(data, 4);
    if (size > data.size() - 8) return std::nullopt;
    chunk.data = data.substr(8, size);
    if ((chunk.code == "LIST" || chunk.code == "RIFF") && size >= 4) {
      chunk.form = chunk.data.substr(0, 4);
      chunk.data.remove_prefix(4);
    }
    chunks.push_back(chunk);
    data.remove_prefix(std::min<size_t>(data.size(), 8 + size + size % 2));
  }
  return chunks;
}

const Chunk* Find(const std::vector<Chunk>& chunks, std::string_view code,
                  std::string_view form = {}) {
  for (const Chunk& chunk : chunks) {
    if (chunk.code == code && chunk.form == form) return &chunk;
  }
  return nullptr;
}

}  // namespace

std::string BuildAvi(const AviClip& clip) {
  uint32_t frames = static_cast<uint32_t>(clip.frames.size());
  uint32_t largest = 0;
  for (const std::string& frame : clip.frames) {
    largest = std::max(largest, static_cast<uint32_t>(frame.size()));
  }
  uint32_t max_bytes_per_sec = static_cast<uint32_t>(
      (static_cast<uint64_t>(largest) * 1000000 + clip.micro_sec_per_frame - 1) /
      clip.micro_sec_per_frame);

  std::string out;
  size_t riff = BeginChunk(out, "RIFF", "AVI ");
  size_t hdrl = BeginChunk(out, "LIST", "hdrl");

  size_t avih = BeginChunk(out, "avih");
  PutLe32(out, clip.micro_sec_per_frame);
  PutLe32(out, max_bytes_per_sec);
  PutLe32(out, 0);
  PutLe32(out, kAvifHasIndex);
  PutLe32(out, frames);
  PutLe32(out, 0);
  PutLe32(out, 1);
  PutLe32(out, largest);
  PutLe32(out, clip.width);
  PutLe32(out, clip.height);
  for (int i = 0; i < 4; ++i) PutLe32(out, 0);
  EndChunk(out, avih);

  size_t strl = BeginChunk(out, "LIST", "strl");
  size_t strh = BeginChunk(out, "strh");
  PutFourCc(out, "vids");
  PutFourCc(out, "mrle");
  PutLe32(out, 0);
  PutLe16(out, 0);
  PutLe16(out, 0);
  PutLe32(out, 0);
  PutLe32(out, clip.scale);
  PutLe32(out, clip.rate);
  PutLe32(out, 0);
  PutLe32(out, frames);
  PutLe32(out, largest);
  PutLe32(out, 0xFFFFFFFFu);
  PutLe32(out, 0);
  PutLe16(out, 0);
  PutLe16(out, 0);
  PutLe16(out, clip.width);
  PutLe16(out, clip.height);
  EndChunk(out, strh);

  size_t strf = BeginChunk(out, "strf");
  PutLe32(out, 40);
  PutLe32(out, clip.width);
  PutLe32(out, clip.height);
  PutLe16(out, 1);
  PutLe16(out, 8);
  PutLe32(out, kBiRle8);
  PutLe32(out, clip.width * clip.height);
  PutLe32(out, 0);
  PutLe32(out, 0);
  PutLe32(out, 256);
  PutLe32(out, 0);
  for (const Rgb& colour : clip.palette) {
    PutU8(out, colour.b);
    PutU8(out, colour.g);
    PutU8(out, colour.r);
    PutU8(out, 0);
  }
  EndChunk(out, strf);
  EndChunk(out, strl);
  EndChunk(out, hdrl);

  size_t movi = BeginChunk(out, "LIST", "movi");
  size_t movi_code = movi + 4;
  std::vector<uint32_t> offsets;
  for (const std::string& frame : clip.frames) {
    offsets.push_back(static_cast<uint32_t>(out.size() - movi_code));
    size_t chunk = BeginChunk(out, "00dc");
    out.append(frame);
    EndChunk(out, chunk);
  }
  EndChunk(out, movi);

  size_t idx1 = BeginChunk(out, "idx1");
  for (uint32_t i = 0; i < frames; ++i) {
    PutFourCc(out, "00dc");
    PutLe32(out, kAviifKeyFrame);
    PutLe32(out, offsets[i]);
    PutLe32(out, static_cast<uint32_t>(clip.frames[i].size()));
  }
  EndChunk(out, idx1);
  EndChunk(out, riff);
  return out;
}

std::optional<AviClip> ReadAvi(std::string_view file, std::string* error) {
  auto fail = [&](const char* message) -> std::optional<AviClip> {
    if (error) *error = message;
    return std::nullopt;
  };
  auto top = Chunks(file);
  if (!top || top->size() != 1 || (*top)[0].code != "RIFF" || (*top)[0].form != "AVI ") {
    return fail("not a RIFF AVI file");
  }
  auto body = Chunks((*top)[0].data);
  const Chunk* hdrl = body ? Find(*body, "LIST", "hdrl") : nullptr;
  const Chunk* movi = body ? Find(*body, "LIST", "movi") : nullptr;
  if (!hdrl || !movi) return fail("no header list or no movie list");
  auto headers = Chunks(hdrl->data);
  const Chunk* avih = headers ? Find(*headers, "avih") : nullptr;
  const Chunk* strl = headers ? Find(*headers, "LIST", "strl") : nullptr;
  if (!avih || avih->data.size() < 56 || !strl) return fail("no main header or no stream list");
  auto stream = Chunks(strl->data);
  const Chunk* strh = stream ? Find(*stream, "strh") : nullptr;
  const Chunk* strf = stream ? Find(*stream, "strf") : nullptr;
  if (!strh || strh->data.size() < 56 || !strf || strf->data.size() < kStrfBytes) {
    return fail("no stream header or no stream format");
  }
  if (strh->data.substr(0, 4) != "vids" || GetLe32(strf->data, 16) != kBiRle8 ||
      GetLe16(strf->data, 14) != 8) {
    return fail("the stream is no RLE8 video");
  }

  AviClip clip;
  clip.micro_sec_per_frame = GetLe32(avih->data, 0);
  clip.width = static_cast<int>(GetLe32(avih->data, 32));
  clip.height = static_cast<int>(GetLe32(avih->data, 36));
  clip.scale = GetLe32(strh->data, 20);
  clip.rate = GetLe32(strh->data, 24);
  for (size_t i = 0; i < 256; ++i) {
    size_t at = 40 + 4 * i;
    clip.palette[i] =
        Rgb{static_cast<uint8_t>(strf->data[at + 2]), static_cast<uint8_t>(strf->data[at + 1]),
            static_cast<uint8_t>(strf->data[at])};
  }
  auto frames = Chunks(movi->data);
  if (!frames) return fail("damaged movie list");
  for (const Chunk& frame : *frames) {
    if (frame.code == "00dc") clip.frames.emplace_back(frame.data);
  }
  return clip;
}

}  // namespace qef
