#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace qef {

inline constexpr char kSettingsKey[] = "Quillon Pack 2\\Export Fix";
inline constexpr char kDefaultBad[] = ":/\\*\"'?|<>";
inline constexpr char kDefaultGood[] = "----------";
inline constexpr char kStrictNamesValue[] = "StrictNames";

struct RepairSettings {
  std::string bad;
  std::string good;
  // Also mend the names Windows rejects for other reasons than their characters (name_rules.h).
  bool strict_names = false;
};

// Bad and Good from the application settings, each replaced by its default when absent or blank,
// and StrictNames, on when the value is 1.
RepairSettings ReadRepairSettings();
// True for a StrictNames value that turns the strict repair on: 1, blanks around it aside.
bool IsStrictNamesOn(const std::string& value);
// Applies the defaults to values as stored (empty when absent).
RepairSettings WithDefaults(std::string bad, std::string good);

// The character replacement as one table: the n-th Bad byte becomes the n-th Good byte, pass
// after pass in the order of Bad, so a Good byte that is a later Bad byte is replaced again. A
// Bad byte without a partner in Good becomes a hyphen, so a body keeps its length.
class CharacterMap {
 public:
  CharacterMap(std::string_view bad, std::string_view good);
  explicit CharacterMap(const RepairSettings& settings)
      : CharacterMap(settings.bad, settings.good) {}

  void Apply(char* data, size_t size) const {
    for (size_t i = 0; i < size; ++i)
      data[i] = static_cast<char>(map_[static_cast<uint8_t>(data[i])]);
  }
  void Apply(std::string& body) const { Apply(body.data(), body.size()); }
  uint8_t operator()(uint8_t byte) const { return map_[byte]; }

 private:
  std::array<uint8_t, 256> map_;
};

// The module names of one file. A new body that equals an earlier one (ASCII letters without
// regard to case, the whole body compared) gets a counter over the last one or two characters
// of its name (the bytes before the first zero byte): 1 to 9, then 10 to 99. The first
// candidate that equals no earlier body wins; after 98 taken candidates the body ends in 99
// whether or not that is free. A name that is empty, or a body without a zero byte, is left
// alone, and a one-character name keeps the digit 9 where two digits do not fit. Every body
// joins the list, changed or not.
//
// The strict repair counts the same way on the names as other readers compare them
// (ReaderNameKey): the name is the whole body when it has no zero byte, and an empty name is
// left alone. One file is made distinct one way or the other, never both.
class ModuleNameList {
 public:
  void Clear();
  // Returns false when the body still equals an earlier one: it has no name to count on, or
  // every candidate was taken.
  bool MakeDistinctAndAdd(std::string& body);
  // The strict repair's: the counter by reader names. Returns false, as above, when the whole
  // body still equals an earlier one.
  bool MakeNameDistinctAndAdd(std::string& body);
  size_t size() const { return count_; }

 private:
  using Keys = std::unordered_set<std::string>;
  using Counters = std::unordered_map<std::string, int>;
  bool Taken(const std::string& upper) const { return bodies_.count(upper) != 0; }
  // Writes the first free counter over the name in `body` and its `key`, whose names end at
  // `end`; returns the key as written.
  static std::string CountOn(std::string& body, std::string key, size_t end, const Keys& taken,
                             Counters& next_counter);

  Keys bodies_;  // upper-cased
  // For a colliding body (upper-cased), the first counter not yet known to be taken. Bodies are
  // never removed, so a counter once taken stays taken.
  Counters next_counter_;
  Keys names_;  // ReaderNameKey, for the strict repair
  Counters next_name_counter_;
  size_t count_ = 0;
};

// The module names of a copy as other readers compare them (ReaderNameKey), for the check: the
// offset of the first module of each name.
class ReaderNameIndex {
 public:
  void Clear() { first_.clear(); }
  // The offset of an earlier module of the same name, or -1 when there is none or the name is
  // empty; remembers the module when its name is new.
  int64_t Add(std::string_view body, int64_t offset);

 private:
  std::unordered_map<std::string, int64_t> first_;
};

// The repaired copy's name: the path up to and including the last "." of its file-name part,
// then "fix"; ".fix" appended when the file name holds no ".".
std::string OutputName(const std::string& path, std::string_view separators);
// The file name without its folders.
std::string FileNamePart(const std::string& path, std::string_view separators);
// True when the path is its own output name, ".fix" in any letter case.
bool IsRepairedCopyName(const std::string& path, std::string_view separators);

}  // namespace qef
