#include "runtime/symbol.h"

#include <unordered_map>
#include <vector>

namespace qef {

namespace {

// Symbols are the run-time's: one table for the whole process.
struct SymbolTable {
  std::vector<std::string> names{std::string()};
  std::unordered_map<std::string, uint32_t> ids;
};

SymbolTable& Table() {
  static SymbolTable table;
  return table;
}

std::string UpperCase(std::string_view name) {
  std::string upper(name);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

}  // namespace

Symbol::Symbol(std::string_view name) {
  if (name.empty()) return;
  SymbolTable& table = Table();
  std::string upper = UpperCase(name);
  auto [entry, added] = table.ids.try_emplace(upper, static_cast<uint32_t>(table.names.size()));
  if (added) table.names.push_back(std::move(upper));
  id_ = entry->second;
}

const std::string& Symbol::name() const {
  const auto& names = Table().names;
  return id_ < names.size() ? names[id_] : names[0];
}

}  // namespace qef
