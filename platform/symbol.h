#pragma once

#include <string>
#include <string_view>

namespace qef {

// An interned, case-insensitive name. Two symbols are the same when their names match without
// regard to the case of ASCII letters.
class Symbol {
 public:
  Symbol() = default;
  explicit Symbol(std::string_view name);
  const std::string& name() const { return name_; }
  bool empty() const { return name_.empty(); }
  friend bool operator==(const Symbol& a, const Symbol& b) { return a.name_ == b.name_; }

 private:
  std::string name_;  // upper case
};

}  // namespace qef
