#pragma once

// The run-time's value: one of the types the system uses, tagged with the run-time's type code.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "runtime/object.h"
#include "runtime/symbol.h"

namespace qef {

// The run-time's type codes.
inline constexpr uint32_t NIL = 0;
inline constexpr uint32_t LONGINT = 1;
inline constexpr uint32_t DATE = 2;
inline constexpr uint32_t FLOAT = 3;
inline constexpr uint32_t ARRAY = 5;
inline constexpr uint32_t OBJECT = 6;
inline constexpr uint32_t STRING = 7;
inline constexpr uint32_t LOGIC = 8;
inline constexpr uint32_t CODEBLOCK = 9;
inline constexpr uint32_t SYMBOL = 10;
inline constexpr uint32_t DWORD = 14;
inline constexpr uint32_t PTR = 18;
inline constexpr uint32_t UINT64 = 23;

// A calendar date; the null date (all zero) stands for "no date".
struct Date {
  int year;
  int month;
  int day;
  bool IsNull() const { return year == 0 && month == 0 && day == 0; }
  friend bool operator==(const Date&, const Date&) = default;
};

class Usual;
using Array = std::vector<Usual>;
using CodeBlock = std::function<Usual(const Usual&)>;

class Usual {
 public:
  Usual() = default;  // NIL

  static Usual Long(int32_t value) { return Usual(Value(std::in_place_index<1>, value)); }
  static Usual Float(double value) { return Usual(Value(std::in_place_index<2>, value)); }
  static Usual Arr(Array values) {
    return Usual(Value(std::in_place_index<3>, std::make_shared<Array>(std::move(values))));
  }
  static Usual Obj(std::shared_ptr<Object> object) {
    return Usual(Value(std::in_place_index<4>, std::move(object)));
  }
  static Usual String(std::string text) {
    return Usual(Value(std::in_place_index<5>, std::move(text)));
  }
  static Usual Logic(bool value) { return Usual(Value(std::in_place_index<6>, value)); }
  static Usual Block(CodeBlock block) {
    return Usual(Value(std::in_place_index<7>, std::make_shared<CodeBlock>(std::move(block))));
  }
  static Usual Sym(Symbol symbol) { return Usual(Value(std::in_place_index<8>, symbol)); }
  static Usual Dword(uint32_t value) { return Usual(Value(std::in_place_index<9>, value)); }
  static Usual Ptr(const void* pointer) {
    return Usual(Value(std::in_place_index<10>, const_cast<void*>(pointer)));
  }
  static Usual DateValue(Date date) { return Usual(Value(std::in_place_index<11>, date)); }
  static Usual Uint64(uint64_t value) { return Usual(Value(std::in_place_index<12>, value)); }

  // The run-time's type code of the value.
  uint32_t Type() const;
  bool IsNil() const { return value_.index() == 0; }

  // Each accessor requires the value to be of its type.
  int32_t AsLong() const { return std::get<1>(value_); }
  double AsFloat() const { return std::get<2>(value_); }
  const Array& AsArray() const { return *std::get<3>(value_); }
  const std::shared_ptr<Object>& AsObject() const { return std::get<4>(value_); }
  const std::string& AsText() const { return std::get<5>(value_); }
  bool AsLogic() const { return std::get<6>(value_); }
  Usual Eval(const Usual& argument) const { return (*std::get<7>(value_))(argument); }
  Symbol AsSymbol() const { return std::get<8>(value_); }
  uint32_t AsDword() const { return std::get<9>(value_); }
  void* AsPtr() const { return std::get<10>(value_); }
  Date AsDate() const { return std::get<11>(value_); }
  uint64_t AsUint64() const { return std::get<12>(value_); }

 private:
  using Value = std::variant<std::monostate, int32_t, double, std::shared_ptr<Array>,
                             std::shared_ptr<Object>, std::string, bool, std::shared_ptr<CodeBlock>,
                             Symbol, uint32_t, void*, Date, uint64_t>;
  explicit Usual(Value value) : value_(std::move(value)) {}
  Value value_;
};

// The empty value of a type code: zero, empty text, false, the null symbol, a null pointer, an
// empty array; NIL for the other codes.
Usual EmptyUsual(uint32_t type);
bool IsPtr(const Usual& value);

// A string owned by the run-time. The run-time knows every live one, so whether a pointer
// addresses one is answered without reading the memory behind it.
class DynString {
 public:
  explicit DynString(std::string text);
  ~DynString();
  DynString(const DynString&) = delete;
  DynString& operator=(const DynString&) = delete;
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// Whether the pointer addresses a live run-time string.
bool IsDynPtr(const void* pointer);

}  // namespace qef
