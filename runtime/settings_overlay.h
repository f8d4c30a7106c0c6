#pragma once

#include <map>
#include <string>
#include <utility>

#include "runtime/settings.h"

namespace qef {

// Settings given for one run (on a command line) in front of the stored ones.
class SettingsOverlay : public SettingsStore {
 public:
  explicit SettingsOverlay(SettingsStore& stored) : stored_(stored) {}
  void Set(const std::string& sub_key, const std::string& name, std::string value) {
    values_[{sub_key, name}] = std::move(value);
  }
  std::optional<std::string> Query(const std::string& sub_key, const std::string& name) override {
    auto found = values_.find({sub_key, name});
    if (found != values_.end()) return found->second;
    return stored_.Query(sub_key, name);
  }
  std::optional<std::string> QueryStringOrNumber(const std::string& sub_key,
                                                 const std::string& name) override {
    auto found = values_.find({sub_key, name});
    if (found != values_.end()) return found->second;
    return stored_.QueryStringOrNumber(sub_key, name);
  }

 private:
  SettingsStore& stored_;
  std::map<std::pair<std::string, std::string>, std::string> values_;
};

}  // namespace qef
