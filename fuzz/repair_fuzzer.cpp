// The file test and the whole repair run over arbitrary bytes, through the in-memory backend.
// Every input must give either one warning and no file, or one complete copy whose record
// framing mirrors the input's, equal to the independent model, with the input unchanged, no
// temporary file left and no read larger than the run-time's file buffer or the file itself,
// nor a view larger than the copier's block.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "exportfile/export_file.h"
#include "exportfile/process_ef.h"
#include "exportfile/record_copier.h"
#include "exportfile/record_frame.h"
#include "exportfile/repair.h"
#include "exportfile/testing/reference_repair.h"
#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "progress/win_progress.h"
#include "runtime/file_table.h"
#include "runtime/runtime.h"

namespace {

constexpr char kInput[] = "in.AEF";
constexpr char kOutput[] = "in.fix";
// The run-time's file functions read the backend in blocks of this size (see file_functions.cpp).
constexpr size_t kPlatformBufferSize = 256 * 1024;

struct Settings {
  const char* bad;
  size_t bad_size;
  const char* good;
  size_t good_size;
};

// Chosen by the last byte, so the file itself stays the whole input; its next bit turns the
// strict repair of names on.
constexpr Settings kSettings[] = {
    {"", 0, "", 0},            // the defaults
    {"ab", 2, "bc", 2},        // a Good byte that is a later Bad byte
    {"A\0:", 3, "-", 1},       // a zero byte, and Good shorter than Bad
    {"\x80\xff", 2, "xy", 2},  // high bytes
};

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

// Walks the input's records as the file format says and checks that the copy has the same
// framing: the same headers at the same offsets, name bodies at their declared length, other
// bodies byte for byte (spaces where a cut body runs past the end), damaged ends as stored.
void CheckFraming(const std::string& in, const std::string& out) {
  size_t at = 0;
  while (at < in.size()) {
    if (in.size() - at < qef::kRecordHeaderSize ||
        qef::DecodeRecordFrame(in.data() + at).length > in.size()) {
      Check(out.size() - std::min(out.size(), at) == in.size() - at &&
                out.compare(at, std::string::npos, in, at) == 0,
            "a damaged end is copied as stored");
      return;
    }
    Check(out.size() >= at + qef::kRecordHeaderSize &&
              out.compare(at, qef::kRecordHeaderSize, in, at, qef::kRecordHeaderSize) == 0,
          "headers are copied as stored");
    const qef::RecordFrame frame = qef::DecodeRecordFrame(in.data() + at);
    size_t body = at + qef::kRecordHeaderSize;
    size_t end = body + frame.length;
    Check(out.size() >= end, "a body keeps its declared length");
    if (!qef::IsNameRecord(frame.type)) {
      size_t stored = std::min(end, in.size()) - body;
      Check(out.compare(body, stored, in, body, stored) == 0, "other bodies are byte-identical");
      Check(std::all_of(out.begin() + static_cast<ptrdiff_t>(body + stored),
                        out.begin() + static_cast<ptrdiff_t>(end), [](char c) { return c == ' '; }),
            "a cut body is completed with spaces");
    }
    at = end;
  }
  Check(out.size() == std::max(at, in.size()), "nothing follows the last record");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  const uint8_t last = size == 0 ? 0 : data[size - 1];
  const Settings& settings = kSettings[last % 4];
  const bool strict_names = (last & 4) != 0;

  qef::HeadlessFileSystem fs;
  qef::HeadlessSettings stored;
  qef::HeadlessUi ui;
  std::string bad(settings.bad, settings.bad_size);
  std::string good(settings.good, settings.good_size);
  if (!bad.empty()) stored.Set(qef::kSettingsKey, "Bad", bad);
  if (!good.empty()) stored.Set(qef::kSettingsKey, "Good", good);
  if (strict_names) stored.Set(qef::kSettingsKey, qef::kStrictNamesValue, "1");
  qef::ScopedRuntime runtime(fs, stored, ui);
  // Small blocks make records straddle them; vary the size with the input.
  size_t block = 6 + size % 250;
  qef::SetCopyBlockSize(block);
  // Half the inputs are viewed and copied in spans (as on POSIX), half read (as on Windows).
  fs.views = size / 250 % 2 == 0;
  fs.AddFile(kInput, input);

  uint32_t completed;
  {
    qef::WinProgress win;
    completed = qef::ProcessEF({kInput}, win);
  }
  qef::SetCopyBlockSize(qef::kDefaultCopyBlockSize);

  Check(fs.Content(kInput) == input, "the input is unchanged");
  Check(fs.largest_read <= std::max(kPlatformBufferSize, input.size()),
        "no read larger than the buffer or the file");
  Check(fs.largest_view <= block, "no view larger than the copier's block");
  Check(runtime.runtime().file_table().OpenCount() == 0, "every file is closed");
  bool accepted = qef::testing::IsAcceptedExportFile(input);
  Check(completed == (accepted ? 1u : 0u), "exactly the accepted files are counted");
  Check(ui.boxes.size() == (accepted ? 0u : 1u), "a refused file gets one warning");
  std::vector<std::string> expected_names{kInput};
  if (accepted) expected_names.push_back(kOutput);
  std::sort(expected_names.begin(), expected_names.end());
  Check(fs.Names() == expected_names, "no temporary file is left");
  if (!accepted) return 0;

  std::string output = fs.Content(kOutput);
  CheckFraming(input, output);
  Check(output == qef::testing::ReferenceRepair(
                      input, qef::testing::EffectiveSetting(bad, qef::kDefaultBad),
                      qef::testing::EffectiveSetting(good, qef::kDefaultGood), strict_names),
        "the copy equals the independent model");
  return 0;
}
