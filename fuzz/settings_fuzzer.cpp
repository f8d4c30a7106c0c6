// The settings file parser over arbitrary text: it must find a value only as a whole line's
// tail, never cross a line, and hand the value to the repair's character map without harm.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "exportfile/repair.h"
#include "platform/posix/posix_settings_file.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::optional<std::string> values[2];
  const char* names[2] = {"Bad", "Good"};
  for (int i = 0; i < 2; ++i) {
    values[i] = qef::FindSetting(text, qef::kSettingsKey, names[i]);
    if (!values[i]) continue;
    Check(values[i]->find('\n') == std::string::npos, "a value ends at its line");
    Check(text.find(*values[i]) != std::string::npos, "a value is taken from the text");
  }
  qef::RepairSettings settings = qef::WithDefaults(values[0].value_or(""), values[1].value_or(""));
  qef::CharacterMap map(settings);
  std::string body = text.substr(0, 256);
  map.Apply(body);
  Check(body.size() == std::min<size_t>(size, 256), "the replacement keeps the length");
  return 0;
}
