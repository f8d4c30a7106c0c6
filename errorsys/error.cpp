#include "errorsys/error.h"

#include "runtime/error_block.h"

namespace qef {

namespace {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

int PropertyIndex(std::string_view name) {
  for (size_t i = 0; i < Error::kPropertyNames.size(); ++i) {
    if (SameName(Error::kPropertyNames[i], name)) return static_cast<int>(i);
  }
  return -1;
}

bool ToDword(const Usual& value, uint32_t& out) {
  if (value.Type() == DWORD) {
    out = value.AsDword();
    return true;
  }
  if (value.Type() == LONGINT && value.AsLong() >= 0) {
    out = static_cast<uint32_t>(value.AsLong());
    return true;
  }
  return false;
}

bool ToText(const Usual& value, std::string& out) {
  if (value.Type() != STRING) return false;
  out = value.AsText();
  return true;
}

bool ToLogic(const Usual& value, bool& out) {
  if (value.Type() != LOGIC) return false;
  out = value.AsLogic();
  return true;
}

bool ToSymbol(const Usual& value, Symbol& out) {
  if (value.Type() != SYMBOL) return false;
  out = value.AsSymbol();
  return true;
}

}  // namespace

Usual Error::Get(std::string_view name) const {
  switch (PropertyIndex(name)) {
    case 0:
      return Usual::String(SubSystem);
    case 1:
      return Usual::Dword(SubCode);
    case 2:
      return Usual::Dword(GenCode);
    case 3:
      return Usual::Dword(OsCode);
    case 4:
      return Usual::Dword(Severity);
    case 5:
      return Usual::Logic(CanDefault);
    case 6:
      return Usual::Logic(CanRetry);
    case 7:
      return Usual::Logic(CanSubstitute);
    case 8:
      return Usual::String(Operation);
    case 9:
      return Usual::String(Description);
    case 10:
      return Usual::String(FileName);
    case 11:
      return Args;
    case 12:
      return Usual::Dword(Tries);
    case 13:
      return Usual::Sym(FuncSym);
    case 14:
      return Usual::Dword(FileHandle);
    case 15:
      return Usual::Dword(ArgNum);
    case 16:
      return Usual::Ptr(FuncPtr);
    case 17:
      return Usual::String(SubCodeText);
    case 18:
      return Usual::String(Arg);
    case 19:
      return Usual::Dword(ArgType);
    case 20:
      return Usual::Dword(ArgTypeReq);
    case 21:
      return Usual::Dword(MaxSize);
    case 22:
      return Usual::Dword(SubstituteType);
    case 23:
      return Usual::Dword(Choice);
    case 24:
      return Usual::Sym(CallFuncSym);
    case 25:
      return Cargo;
    case 26:
      return MethodSelf;
    default:
      return Usual();
  }
}

bool Error::Put(std::string_view name, const Usual& value) {
  switch (PropertyIndex(name)) {
    case 0:
      return ToText(value, SubSystem);
    case 1:
      return ToDword(value, SubCode);
    case 2:
      return ToDword(value, GenCode);
    case 3:
      return ToDword(value, OsCode);
    case 4:
      return ToDword(value, Severity);
    case 5:
      return ToLogic(value, CanDefault);
    case 6:
      return ToLogic(value, CanRetry);
    case 7:
      return ToLogic(value, CanSubstitute);
    case 8:
      return ToText(value, Operation);
    case 9:
      return ToText(value, Description);
    case 10:
      return ToText(value, FileName);
    case 11:
      if (value.Type() != ARRAY && !value.IsNil()) return false;
      Args = value;
      return true;
    case 12:
      return ToDword(value, Tries);
    case 13:
      return ToSymbol(value, FuncSym);
    case 14:
      return ToDword(value, FileHandle);
    case 15:
      return ToDword(value, ArgNum);
    case 16:
      if (value.Type() != PTR) return false;
      FuncPtr = value.AsPtr();
      return true;
    case 17:
      return ToText(value, SubCodeText);
    case 18:
      return ToText(value, Arg);
    case 19:
      return ToDword(value, ArgType);
    case 20:
      return ToDword(value, ArgTypeReq);
    case 21:
      return ToDword(value, MaxSize);
    case 22:
      return ToDword(value, SubstituteType);
    case 23:
      return ToDword(value, Choice);
    case 24:
      return ToSymbol(value, CallFuncSym);
    case 25:
      Cargo = value;
      return true;
    case 26:
      if (value.Type() != OBJECT && !value.IsNil()) return false;
      MethodSelf = value;
      return true;
    default:
      return false;
  }
}

Usual Error::Throw() {
  // The block receives this very object, so what it changes is seen by the thrower.
  std::shared_ptr<Error> self = weak_from_this().lock();
  if (!self) self = std::shared_ptr<Error>(std::shared_ptr<Error>(), this);
  return CallErrorBlock(Usual::Obj(self));
}

Usual WCError::Throw() { return Error::Throw(); }

std::shared_ptr<Error> AsError(const Usual& value) {
  if (value.Type() != OBJECT) return nullptr;
  return std::dynamic_pointer_cast<Error>(value.AsObject());
}

bool IsInstanceOfError(const Usual& value) { return AsError(value) != nullptr; }

}  // namespace qef
