#pragma once

// The Error object: every run-time error is handed to the error block as one.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/object.h"
#include "runtime/symbol.h"
#include "runtime/usual.h"

namespace qef {

class Error : public Object, public std::enable_shared_from_this<Error> {
 public:
  // The properties in their order; a new object has empty texts, zero numbers, false logicals,
  // null symbols and no array, object or value.
  static constexpr std::array<std::string_view, 27> kPropertyNames = {
      "SubSystem",   "SubCode",       "GenCode",    "OsCode",      "Severity",       "CanDefault",
      "CanRetry",    "CanSubstitute", "Operation",  "Description", "FileName",       "Args",
      "Tries",       "FuncSym",       "FileHandle", "ArgNum",      "FuncPtr",        "SubCodeText",
      "Arg",         "ArgType",       "ArgTypeReq", "MaxSize",     "SubstituteType", "Choice",
      "CallFuncSym", "Cargo",         "MethodSelf"};

  // Reads a property by name (letter case does not matter); NIL for an unknown name.
  Usual Get(std::string_view name) const;
  // Writes a property by name; false when the name is unknown or the value's type does not fit
  // (integers of either sign fit the unsigned properties when not negative).
  bool Put(std::string_view name, const Usual& value);

  // Hands this object to the current error block and returns what the block returns. An object
  // not owned by a shared_ptr is lent to the block for the call only.
  virtual Usual Throw();

  std::string SubSystem;
  uint32_t SubCode = 0;
  uint32_t GenCode = 0;
  uint32_t OsCode = 0;
  uint32_t Severity = 0;
  bool CanDefault = false;
  bool CanRetry = false;
  bool CanSubstitute = false;
  std::string Operation;
  std::string Description;
  std::string FileName;
  Usual Args;  // NIL, or an array of the arguments
  uint32_t Tries = 0;
  Symbol FuncSym;
  uint32_t FileHandle = 0;
  uint32_t ArgNum = 0;
  void* FuncPtr = nullptr;
  std::string SubCodeText;
  std::string Arg;
  uint32_t ArgType = 0;
  uint32_t ArgTypeReq = 0;
  uint32_t MaxSize = 0;
  uint32_t SubstituteType = 0;
  uint32_t Choice = 0;
  Symbol CallFuncSym;
  Usual Cargo;
  Usual MethodSelf;  // NIL, or the object whose method failed
};

// The window library's error class: an Error in every respect, with its own Throw.
class WCError : public Error {
 public:
  Usual Throw() override;
};

// Whether the value is an object of class Error or of a class derived from it.
bool IsInstanceOfError(const Usual& value);
// The Error object of the value, or null.
std::shared_ptr<Error> AsError(const Usual& value);

}  // namespace qef
