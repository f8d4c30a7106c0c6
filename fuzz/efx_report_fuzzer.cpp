// The text and JSON writers of efx check and efx dump over any file name and any bytes. Every
// JSON document must parse, and the bodies it lists must be the file's own bytes; the text must
// hold no byte that a UTF-8 terminal would obey or misread.
//
// Input: one byte n, then n bytes of file name (at most 63), one byte of flags, then the file.
// Flag bit 0 puts an export file header in front of the file, so most inputs reach the records.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/efx.h"
#include "exportfile/testing/records.h"
#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "runtime/testing/utf8_oracle.h"

namespace {

using Json = nlohmann::json;
using qef::testing::ValidUtf8;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

struct Output {
  int status;
  std::string out;
  std::string err;
};

std::string ReadAll(std::FILE* file) {
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  std::fclose(file);
  return text;
}

Output Run(qef::HeadlessFileSystem& files, const std::vector<std::string>& args) {
  qef::HeadlessSettings settings;
  qef::HeadlessUi ui;
  ui.logging = false;
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  qef::EfxEnvironment env{files, settings, ui, out, err, qef::TerminalEncoding::kUtf8};
  int status = qef::RunEfx(args, env);
  return {status, ReadAll(out), ReadAll(err)};
}

// A JSON text as the bytes it stands for: each character U+0000 to U+00FF is one byte.
std::string JsonBytes(const Json& text) {
  std::string bytes;
  const std::string utf8 = text.get<std::string>();
  for (size_t i = 0; i < utf8.size(); ++i) {
    auto lead = static_cast<uint8_t>(utf8[i]);
    if (lead < 0x80) {
      bytes += static_cast<char>(lead);
    } else {
      Check(lead == 0xC2 || lead == 0xC3, "a body character beyond U+00FF");
      Check(i + 1 < utf8.size(), "a body character cut short");
      bytes += static_cast<char>((lead & 0x03) << 6 | (static_cast<uint8_t>(utf8[++i]) & 0x3F));
    }
  }
  return bytes;
}

// Text for a UTF-8 terminal: no control character but the line feed, no C1 control (U+0080 to
// U+009F, bytes C2 80 to C2 9F), no byte outside a valid character.
void CheckHarmless(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    auto byte = static_cast<uint8_t>(text[i]);
    Check((byte >= 0x20 && byte != 0x7F) || byte == '\n', "a raw control character in text");
    Check(!(byte == 0xC2 && i + 1 < text.size() && static_cast<uint8_t>(text[i + 1]) <= 0x9F),
          "a raw C1 control in text");
  }
  Check(ValidUtf8(text), "text that is not UTF-8");
}

// The body bytes of a whole record shown at `offset`: the file's bytes after the header.
void CheckBody(const std::string& file, const Json& offset, const std::string& body,
               const Json* omitted) {
  auto at = offset.get<uint64_t>() + 6;
  Check(at + body.size() <= file.size(), "a body beyond the file");
  Check(file.compare(at, body.size(), body) == 0, "a body that is not the file's bytes");
  if (omitted != nullptr) Check(body.size() == 4096, "an excerpt of the wrong length");
}

void CheckDumpJson(const std::string& file, const std::string& out) {
  Json records = Json::parse(out);  // throws, and so fails, on anything but JSON
  Check(records.is_array(), "dump JSON is not an array");
  for (const Json& record : records) {
    if (!record.contains("body") || !record["flag"].is_null()) continue;
    const Json* omitted = record.contains("body_omitted") ? &record["body_omitted"] : nullptr;
    std::string body = JsonBytes(record["body"]);
    CheckBody(file, record["offset"], body, omitted);
    uint64_t length = record["length"].get<uint64_t>();
    Check(body.size() + (omitted ? omitted->get<uint64_t>() : 0) == length,
          "body and omitted bytes do not make the length");
  }
}

void CheckCheckJson(const std::string& file, const std::string& name, const std::string& out) {
  Json report = Json::parse(out);
  Check(report["files"].size() == 1, "check JSON without its file");
  const Json& entry = report["files"][0];
  // Names are text of the system's encoding: one that is UTF-8 comes back as it is.
  if (ValidUtf8(name)) Check(entry["file"].get<std::string>() == name, "a name changed");
  std::vector<uint64_t> cut_short;
  for (const Json& finding : entry["findings"]) {
    if (finding["kind"] == "cut_short") cut_short.push_back(finding["offset"].get<uint64_t>());
  }
  for (const Json& finding : entry["findings"]) {
    if (finding["kind"] == "duplicate_name") {
      Check(finding["earlier"].get<uint64_t>() < finding["offset"].get<uint64_t>(),
            "a duplicate name of a later module");
    }
    if (finding["kind"] != "change") continue;
    uint64_t offset = finding["offset"].get<uint64_t>();
    bool padded = std::find(cut_short.begin(), cut_short.end(), offset) != cut_short.end();
    if (padded) continue;
    const Json* omitted = finding.contains("omitted") ? &finding["omitted"] : nullptr;
    CheckBody(file, finding["offset"], JsonBytes(finding["before"]), omitted);
    Check(JsonBytes(finding["after"]).size() == JsonBytes(finding["before"]).size(),
          "a change that alters the length");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  size_t name_size = data[0] % 64;
  if (size < 2 + name_size) return 0;
  std::string name(reinterpret_cast<const char*>(data + 1), name_size);
  const uint8_t flags = data[1 + name_size];
  std::string file(reinterpret_cast<const char*>(data + 2 + name_size), size - 2 - name_size);
  if (flags & 1) file = qef::testing::HeaderRecord() + file;
  if (name.empty()) name = "in.AEF";

  qef::HeadlessFileSystem files;
  files.AddFile(name, file);
  for (bool json : {false, true}) {
    std::vector<std::string> check = {"check", "--", name};
    std::vector<std::string> dump = {"dump", "--", name};
    if (json) {
      check.insert(check.begin() + 1, "--json");
      dump.insert(dump.begin() + 1, "--json");
    }
    Output checked = Run(files, check);
    Output dumped = Run(files, dump);
    Check(files.Content(name) == file, "the input changed");
    if (json) {
      CheckCheckJson(file, name, checked.out);
      if (dumped.status == 0) CheckDumpJson(file, dumped.out);
    } else {
      CheckHarmless(checked.out);
      CheckHarmless(dumped.out);
    }
    CheckHarmless(checked.err);
    CheckHarmless(dumped.err);
  }
  return 0;
}
