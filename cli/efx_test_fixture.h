#pragma once

// What the efx command tests share: an in-memory file system and settings, a headless user
// interface, and each run's standard output and error as text.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/efx.h"
#include "platform/headless/headless_file_system.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"

namespace qef {

struct EfxResult {
  int status = -1;
  std::string out;
  std::string err;
};

class EfxCommandTest : public ::testing::Test {
 protected:
  EfxCommandTest() { ui_.logging = false; }

  EfxResult Run(const std::vector<std::string>& args) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EfxEnvironment env{fs_, settings_, ui_, out, err};
    EfxResult result;
    result.status = RunEfx(args, env);
    result.out = ReadAll(out);
    result.err = ReadAll(err);
    std::fclose(out);
    std::fclose(err);
    return result;
  }

  // Adds a sample export file of the project under its own name.
  std::string AddSample(const std::string& name) {
    std::ifstream file(std::string(QEF_SAMPLES_DIR) + "/" + name, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_GE(content.size(), 50u) << name;
    fs_.AddFile(name, content);
    return content;
  }

  static std::string ReadAll(std::FILE* file) {
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    return text;
  }

  HeadlessFileSystem fs_;
  HeadlessSettings settings_;
  HeadlessUi ui_;
};

// A JSON text as the bytes it stands for: each character U+0000 to U+00FF is one byte.
inline std::string JsonBytes(const nlohmann::json& text) {
  std::string utf8 = text.get<std::string>();
  std::string bytes;
  for (size_t i = 0; i < utf8.size(); ++i) {
    auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      bytes += static_cast<char>(lead);
    } else {
      bytes +=
          static_cast<char>((lead & 0x03) << 6 | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
    }
  }
  return bytes;
}

}  // namespace qef
