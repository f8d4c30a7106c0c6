#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/locale_text.h"
#include "runtime/international.h"
#include "runtime/locale_source.h"

namespace qef {

// A locale given as a table of item texts; an item not in the table cannot be read. Every read
// is recorded.
class HeadlessLocale : public LocaleSource {
 public:
  struct Read {
    LCID locale;
    uint32_t item;
    int size;
  };

  explicit HeadlessLocale(std::map<uint32_t, std::string> items = {}, LCID id = 0x0407)
      : items_(std::move(items)), id_(id) {}
  void Set(uint32_t item, std::string text) { items_[item] = std::move(text); }

  LCID GetUserDefaultLCID() override {
    ++id_queries;
    return id_;
  }
  int GetLocaleInfoA(LCID locale, uint32_t item, char* buffer, int size) override {
    reads.push_back({locale, item, size});
    auto found = items_.find(item);
    if (found == items_.end()) return 0;
    return CopyLocaleText(found->second.c_str(), buffer, size);
  }

  std::vector<Read> reads;
  int id_queries = 0;

 private:
  std::map<uint32_t, std::string> items_;
  LCID id_;
};

}  // namespace qef
