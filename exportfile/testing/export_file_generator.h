#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>

// Seeded random export files and Bad/Good settings for differential tests. The same seed gives
// the same case on every run, so a failing seed can be replayed.
namespace qef::testing {

// Draws numbers by plain modulo over the engine's output, so a seed means the same thing with
// every standard library (the library's distributions may differ between vendors).
class Random {
 public:
  explicit Random(uint32_t seed) : engine_(seed) {}

  // A number in 0 .. bound - 1; bound must not be 0.
  uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(engine_() % bound); }
  // A number in low .. high, both included.
  uint32_t Between(uint32_t low, uint32_t high) { return low + Below(high - low + 1); }
  bool Percent(uint32_t chance) { return Below(100) < chance; }
  char AnyByte() { return static_cast<char>(Below(256)); }
  // One character of `choices`, which must not be empty.
  char OneOf(const std::string& choices) { return choices[Below(choices.size())]; }

 private:
  std::mt19937 engine_;
};

// The stored "Bad" and "Good" values; nothing means the value is absent.
struct GeneratedSettings {
  std::optional<std::string> bad;
  std::optional<std::string> good;
};

struct GeneratedCase {
  std::string file;
  GeneratedSettings settings;
};

// Bad and Good values of every sort: absent, empty, blank, short Good, Good holding later Bad
// characters, zero bytes, high bytes, spaces inside Bad.
GeneratedSettings GenerateSettings(Random& random);

// An export file that passes the file test. Its name records are built from `bad_characters`
// among others, so that the repair has something to replace, and its module names collide
// (with and without letter case) often. Some files end damaged: a short trailing fragment, a
// cut last body, or a body length beyond the file's size.
std::string GenerateExportFile(Random& random, const std::string& bad_characters);

// Settings first, then a file that uses the Bad characters in force under them.
GeneratedCase GenerateCase(uint32_t seed);

}  // namespace qef::testing
