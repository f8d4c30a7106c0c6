#include "exportfile/repair.h"

#include <utility>
#include <vector>

#include "exportfile/name_rules.h"
#include "runtime/settings.h"
#include "runtime/runtime.h"

namespace qef {

namespace {

bool IsBlank(const std::string& value) {
  return value.find_first_not_of(" \t\r\n") == std::string::npos;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UpperCase(std::string text) {
  for (char& c : text) c = Upper(c);
  return text;
}

// The body with the counter written over the end of its name, whose zero byte is at `zero`.
void WriteCounter(std::string& body, size_t zero, int counter) {
  if (counter < 10) {
    body[zero - 1] = static_cast<char>('0' + counter);
  } else if (zero >= 2) {
    body[zero - 2] = static_cast<char>('0' + counter / 10);
    body[zero - 1] = static_cast<char>('0' + counter % 10);
  } else {
    body[zero - 1] = '9';  // no room for two digits before the first byte
  }
}

size_t NameStart(const std::string& path, std::string_view separators) {
  size_t separator = path.find_last_of(separators);
  return separator == std::string::npos ? 0 : separator + 1;
}

}  // namespace

RepairSettings WithDefaults(std::string bad, std::string good) {
  return {IsBlank(bad) ? kDefaultBad : std::move(bad),
          IsBlank(good) ? kDefaultGood : std::move(good)};
}

RepairSettings ReadRepairSettings() {
  RepairSettings settings =
      WithDefaults(QueryRTRegString(kSettingsKey, "Bad"), QueryRTRegString(kSettingsKey, "Good"));
  settings.strict_names =
      IsStrictNamesOn(QueryRTRegStringOrNumber(kSettingsKey, kStrictNamesValue));
  return settings;
}

bool IsStrictNamesOn(const std::string& value) {
  size_t first = value.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return false;
  return value.substr(first, value.find_last_not_of(" \t\r\n") + 1 - first) == "1";
}

CharacterMap::CharacterMap(std::string_view bad, std::string_view good) {
  // One pass per Bad byte over the bytes that hold that value now. Groups only ever merge, the
  // smaller into the larger, so a stored Bad of megabytes costs one step per byte, not 256.
  std::array<std::vector<uint8_t>, 256> holders;
  for (size_t byte = 0; byte < holders.size(); ++byte) holders[byte] = {static_cast<uint8_t>(byte)};
  for (size_t n = 0; n < bad.size(); ++n) {
    auto from = static_cast<uint8_t>(bad[n]);
    auto to = static_cast<uint8_t>(n < good.size() ? good[n] : '-');
    if (from == to || holders[from].empty()) continue;
    if (holders[to].size() < holders[from].size()) std::swap(holders[to], holders[from]);
    holders[to].insert(holders[to].end(), holders[from].begin(), holders[from].end());
    holders[from].clear();
  }
  for (size_t value = 0; value < holders.size(); ++value) {
    for (uint8_t byte : holders[value]) map_[byte] = static_cast<uint8_t>(value);
  }
}

void ModuleNameList::Clear() {
  bodies_.clear();
  next_counter_.clear();
  names_.clear();
  next_name_counter_.clear();
  count_ = 0;
}

std::string ModuleNameList::CountOn(std::string& body, std::string key, size_t end,
                                    const Keys& taken, Counters& next_counter) {
  // Digits are no letters, so the candidates of the upper-cased key are the upper-cased
  // candidates: one search serves every body that differs from this one in letter case only.
  int& next = next_counter.try_emplace(key, 1).first->second;
  int counter = next;
  for (; counter <= 98; ++counter) {
    WriteCounter(key, end, counter);
    if (taken.count(key) == 0) break;
  }
  if (counter > 98) {
    counter = 99;
    WriteCounter(key, end, counter);
  }
  next = counter < 99 ? counter + 1 : 99;
  WriteCounter(body, end, counter);
  return key;
}

bool ModuleNameList::MakeDistinctAndAdd(std::string& body) {
  ++count_;
  std::string upper = UpperCase(body);
  size_t zero = body.find('\0');
  if (!Taken(upper) || zero == std::string::npos || zero == 0) {
    return bodies_.insert(std::move(upper)).second;
  }
  return bodies_.insert(CountOn(body, std::move(upper), zero, bodies_, next_counter_)).second;
}

bool ModuleNameList::MakeNameDistinctAndAdd(std::string& body) {
  ++count_;
  std::string key = ReaderNameKey(body);
  if (!key.empty() && names_.count(key) != 0) {
    size_t end = key.size();
    key = CountOn(body, std::move(key), end, names_, next_name_counter_);
  }
  names_.insert(std::move(key));
  return bodies_.insert(UpperCase(body)).second;
}

int64_t ReaderNameIndex::Add(std::string_view body, int64_t offset) {
  std::string key = ReaderNameKey(body);
  if (key.empty()) return -1;
  auto [entry, added] = first_.try_emplace(std::move(key), offset);
  return added ? -1 : entry->second;
}

std::string FileNamePart(const std::string& path, std::string_view separators) {
  return path.substr(NameStart(path, separators));
}

std::string OutputName(const std::string& path, std::string_view separators) {
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < NameStart(path, separators)) return path + ".fix";
  return path.substr(0, dot + 1) + "fix";
}

bool IsRepairedCopyName(const std::string& path, std::string_view separators) {
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < NameStart(path, separators)) return false;
  return UpperCase(path.substr(dot + 1)) == "FIX";
}

}  // namespace qef
