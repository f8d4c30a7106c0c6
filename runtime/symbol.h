#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qef {

// An interned, case-insensitive name, compared by identity. The null symbol has id 0 and an
// empty name.
class Symbol {
 public:
  Symbol() = default;
  explicit Symbol(std::string_view name);
  // The symbol a 32-bit symbol value stands for; an id never interned has an empty name.
  static Symbol FromId(uint32_t id) {
    Symbol symbol;
    symbol.id_ = id;
    return symbol;
  }
  const std::string& name() const;
  uint32_t id() const { return id_; }
  bool empty() const { return id_ == 0; }
  friend bool operator==(const Symbol& a, const Symbol& b) { return a.id_ == b.id_; }

 private:
  uint32_t id_ = 0;
};

}  // namespace qef
