#include "runtime/usual.h"

#include <unordered_set>

namespace qef {

uint32_t Usual::Type() const {
  static constexpr uint32_t kCodes[] = {NIL,       LONGINT, FLOAT, ARRAY, OBJECT, STRING, LOGIC,
                                        CODEBLOCK, SYMBOL,  DWORD, PTR,   DATE,   UINT64};
  return kCodes[value_.index()];
}

Usual EmptyUsual(uint32_t type) {
  switch (type) {
    case LONGINT:
      return Usual::Long(0);
    case FLOAT:
      return Usual::Float(0.0);
    case ARRAY:
      return Usual::Arr({});
    case STRING:
      return Usual::String("");
    case LOGIC:
      return Usual::Logic(false);
    case SYMBOL:
      return Usual::Sym(Symbol());
    case DWORD:
      return Usual::Dword(0);
    case PTR:
      return Usual::Ptr(nullptr);
    case DATE:
      return Usual::DateValue(Date{0, 0, 0});
    case UINT64:
      return Usual::Uint64(0);
    default:
      return Usual();
  }
}

bool IsPtr(const Usual& value) { return value.Type() == PTR; }

namespace {
std::unordered_set<const void*>& LiveStrings() {
  static std::unordered_set<const void*> live;
  return live;
}
}  // namespace

DynString::DynString(std::string text) : text_(std::move(text)) { LiveStrings().insert(this); }
DynString::~DynString() { LiveStrings().erase(this); }

bool IsDynPtr(const void* pointer) {
  return pointer != nullptr && LiveStrings().count(pointer) != 0;
}

}  // namespace qef
