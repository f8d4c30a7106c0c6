#pragma once

// Helpers of the tests that run the real efx and exportfix in child processes.

#include <unistd.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace qef {

// The whole file in one read; nothing when it cannot be opened.
inline std::optional<std::string> ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return std::nullopt;
  std::string bytes(static_cast<size_t>(file.tellg()), '\0');
  file.seekg(0);
  file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

// In a child process: runs `program` with `args`, with an alarm that ends it should it never
// end on its own (an alarm is kept across exec). Never returns; 127 when exec fails.
[[noreturn]] inline void ExecWithAlarm(const char* program, const std::vector<std::string>& args,
                                       unsigned alarm_seconds) {
  std::vector<char*> argv{const_cast<char*>(program)};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  ::alarm(alarm_seconds);
  ::execv(program, argv.data());
  ::_exit(127);
}

}  // namespace qef
