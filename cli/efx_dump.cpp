// efx dump: the records of one export file, read by the repair's own record loop in a run that
// writes nothing and replaces nothing.

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/byte_text.h"
#include "cli/efx_commands.h"
#include "cli/file_arguments.h"
#include "cli/quiet_ui.h"
#include "exportfile/ef_rec_type.h"
#include "exportfile/export_file.h"
#include "exportfile/process_ef.h"
#include "exportfile/record_observer.h"
#include "progress/win_progress.h"
#include "runtime/display_text.h"
#include "runtime/runtime.h"

namespace qef {

namespace {

using Json = nlohmann::ordered_json;

// The record types that --type asks for; none at all means every record.
class TypeFilter {
 public:
  // Adds a type given by name (letter case aside, with or without AEF_REC_; "Unknown" for
  // every code without a name) or by code (decimal, or hexadecimal after 0x). False when the
  // text is neither.
  bool Add(const std::string& text);
  bool Matches(const RecordInfo& record) const;

 private:
  bool any_ = true;
  bool unknown_ = false;
  std::vector<uint32_t> codes_;
};

std::string UpperCase(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::optional<uint32_t> ParseCode(const std::string& text) {
  bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  std::string digits = hex ? text.substr(2) : text;
  const char* allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
  if (digits.empty() || digits.size() > 8 || digits.find_first_not_of(allowed) != digits.npos) {
    return std::nullopt;
  }
  unsigned long code = std::stoul(digits, nullptr, hex ? 16 : 10);
  if (code > 0xFFFF) return std::nullopt;
  return static_cast<uint32_t>(code);
}

bool TypeFilter::Add(const std::string& text) {
  std::optional<uint32_t> code = ParseCode(text);
  if (!code) {
    constexpr std::string_view kPrefix = "AEF_REC_";
    std::string wanted = UpperCase(text);
    if (wanted == "UNKNOWN") {
      unknown_ = true;
      any_ = false;
      return true;
    }
    if (wanted.rfind(kPrefix, 0) != 0) wanted.insert(0, kPrefix);
    for (const RecordTypeEntry& entry : RecordTypeTable()) {
      if (EFRecType(entry.code) == wanted) code = entry.code;
    }
    if (!code) return false;
  }
  codes_.push_back(*code);
  any_ = false;
  return true;
}

bool TypeFilter::Matches(const RecordInfo& record) const {
  if (any_) return true;
  if (record.shape == RecordShape::kFragment) return false;  // it has no whole type
  uint16_t type = record.header.Type();
  if (unknown_ && EFRecType(type) == "Unknown") return true;
  return std::find(codes_.begin(), codes_.end(), type) != codes_.end();
}

bool HasBody(const RecordInfo& record) {
  return (record.shape == RecordShape::kWhole || record.shape == RecordShape::kPadded) &&
         IsNameRecord(record.header.Type());
}

std::string_view StoredBytes(const RecordInfo& record) {
  return std::string_view(reinterpret_cast<const char*>(record.header.raw), record.header.stored);
}

// Writes each record as it comes, as a line of a table or an element of a JSON array, so that
// memory does not grow with the file.
class DumpWriter : public RecordObserver {
 public:
  DumpWriter(std::FILE* out, bool json, TypeFilter filter)
      : out_(out), json_(json), filter_(std::move(filter)) {}

  void NameBody(std::string_view before, std::string_view) override { body_.Add(before); }

  void Record(const RecordInfo& record) override {
    if (!started_) Start();
    if (filter_.Matches(record)) json_ ? WriteJson(record) : WriteText(record);
    body_.Clear();
  }

  // Ends the JSON array; nothing has been written when the file failed its test.
  void Finish() {
    if (json_ && started_) std::fputs(first_ ? "]\n" : "\n]\n", out_);
  }

 private:
  void Start() {
    started_ = true;
    if (json_) {
      std::fputs("[", out_);
    } else {
      std::fprintf(out_, "%12s  %-6s  %-21s  %10s  %s\n", "offset", "type", "name", "length",
                   "body");
    }
  }

  void WriteText(const RecordInfo& record) {
    if (record.shape == RecordShape::kFragment) {
      std::fprintf(out_, "%12" PRId64 "  %-6s  %-21s  %10s  (trailing fragment of %zu bytes: %s)\n",
                   record.offset, "-", "-", "-", record.header.stored,
                   Quoted(StoredBytes(record)).c_str());
      return;
    }
    uint16_t type = record.header.Type();
    std::string line(128, '\0');
    line.resize(static_cast<size_t>(std::snprintf(
        line.data(), line.size(), "%12" PRId64 "  0x%04X  %-21s  %10" PRIu32, record.offset,
        static_cast<unsigned>(type), EFRecType(type).c_str(), record.header.Length())));
    if (HasBody(record)) {
      line += "  " + Quoted(body_.shown());
      if (body_.omitted() != 0) line += " ... (" + std::to_string(body_.omitted()) + " more bytes)";
    }
    if (record.shape == RecordShape::kPadded) {
      line +=
          "  (cut short: " + std::to_string(record.missing) + " bytes missing, padded with spaces)";
    } else if (record.shape == RecordShape::kRestCopied) {
      line += "  (length beyond the file: the rest, " + std::to_string(record.size) +
              " bytes, copied unchanged)";
    }
    std::fprintf(out_, "%s\n", line.c_str());
  }

  void WriteJson(const RecordInfo& record) {
    Json element;
    element["offset"] = record.offset;
    bool fragment = record.shape == RecordShape::kFragment;
    if (fragment) {
      element["type"] = nullptr;
      element["name"] = nullptr;
      element["length"] = nullptr;
    } else {
      element["type"] = record.header.Type();
      element["name"] = EFRecType(record.header.Type());
      element["length"] = record.header.Length();
    }
    element["size"] = record.size;
    switch (record.shape) {
      case RecordShape::kWhole:
        element["flag"] = nullptr;
        break;
      case RecordShape::kPadded:
        element["flag"] = "cut_short";
        element["missing"] = record.missing;
        break;
      case RecordShape::kRestCopied:
        element["flag"] = "beyond_file";
        break;
      case RecordShape::kFragment:
        element["flag"] = "fragment";
        element["bytes"] = BytesAsUtf8(StoredBytes(record));
        break;
    }
    if (HasBody(record)) {
      element["body"] = BytesAsUtf8(body_.shown());
      if (body_.omitted() != 0) element["body_omitted"] = body_.omitted();
    }
    std::fprintf(out_, "%s\n%s", first_ ? "" : ",", element.dump().c_str());
    first_ = false;
  }

  std::FILE* out_;
  bool json_;
  TypeFilter filter_;
  BodyExcerpt body_;
  bool started_ = false;
  bool first_ = true;
};

}  // namespace

int RunDump(const std::vector<std::string>& args, EfxEnvironment& env) {
  CLI::App app;
  bool json = false;
  std::vector<std::string> types;
  std::vector<std::string> files;
  app.add_flag("--json", json);
  app.add_option("--type", types)->allow_extra_args(false);
  app.add_option("files", files);
  if (auto status = ParseCommand(app, args, env)) return *status;
  std::vector<FileArgument> expanded = ExpandFileArguments(files, env.expand_wildcards);
  if (expanded.size() != 1) return UsageError(env, "dump takes exactly one export file");
  if (!expanded[0].matched) {
    std::fprintf(env.err, "%s\n", NoMatchMessage(expanded[0].path).c_str());
    return kExitFailed;
  }
  TypeFilter filter;
  for (const std::string& type : types) {
    if (!filter.Add(type)) return UsageError(env, "unknown record type " + type);
  }

  QuietDialogsUi ui(env.ui);
  ScopedRuntime runtime(env.files, env.settings, ui);
  WinProgress oWin;
  DumpWriter writer(env.out, json, std::move(filter));
  // Nothing is replaced: the bodies are shown as the file holds them.
  RepairRun run(oWin, RepairSettings{}, RunMode::kReadOnly, &writer);
  FileResult result = run.RepairFile(expanded[0].path);
  writer.Finish();
  std::fflush(env.out);
  if (result == FileResult::kFailed) {
    std::fprintf(env.err, "%s\n", DisplayText(run.FailureWithReason(), env.encoding).c_str());
    return kExitFailed;
  }
  if (result == FileResult::kCancelled) return Cancelled(env);
  return kExitOk;
}

}  // namespace qef
