#include "platform/symbol.h"

namespace qef {

Symbol::Symbol(std::string_view name) : name_(name) {
  for (char& c : name_) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

}  // namespace qef
