#pragma once

#include <map>
#include <string>
#include <utility>

#include "runtime/settings.h"

namespace qef {

// Settings held in a map; sub-keys and names compare as written.
class HeadlessSettings : public SettingsStore {
 public:
  void Set(const std::string& sub_key, const std::string& name, std::string value) {
    values_[{sub_key, name}] = std::move(value);
  }
  std::optional<std::string> Query(const std::string& sub_key, const std::string& name) override {
    ++queries;
    auto found = values_.find({sub_key, name});
    if (found == values_.end()) return std::nullopt;
    return found->second;
  }
  int queries = 0;

 private:
  std::map<std::pair<std::string, std::string>, std::string> values_;
};

}  // namespace qef
