#pragma once

// The run-time's start-up and shut-down: it fills the symbol table from the program's resource,
// registers every class and method, runs the initialisation procedures in their fixed order and
// calls the window library's start function, which creates the application object and calls
// its Start. The result becomes the exit code.

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/backends.h"
#include "runtime/object.h"
#include "runtime/symbol.h"

namespace qef {

// The symbol table resource: custom type 21569, id 1.
inline constexpr int kSymbolTableResourceType = 21569;
inline constexpr int kSymbolTableResourceId = 1;
inline constexpr std::string_view kSymbolTableSignature = "ATOMTABLE";

// The symbol table resource is the signature, a 32-bit little-endian count, and then each name
// as one length byte and its bytes. Builds the resource for a list of names.
std::string BuildSymbolTable(const std::vector<std::string>& names);
// Reads the resource and interns its names; nothing when it is damaged.
std::optional<std::set<std::string>> LoadSymbolTable(std::string_view resource);

// Classes by name, each with a factory and its methods by name. A method that can be called
// without arguments carries its call.
class ClassRegistry {
 public:
  using Factory = std::function<std::unique_ptr<Object>()>;
  using Method = std::function<void(Object&)>;

  explicit ClassRegistry(std::set<std::string> symbols) : symbols_(std::move(symbols)) {}

  // False when the class is registered already or a name is not in the symbol table.
  bool Register(const Symbol& class_name, Factory factory,
                std::vector<std::pair<Symbol, Method>> methods);
  std::unique_ptr<Object> Create(const Symbol& class_name) const;
  // Calls the method without arguments; false when the class has no such callable method.
  bool Send(const Symbol& class_name, Object& object, const Symbol& method) const;
  bool HasMethod(const Symbol& class_name, const Symbol& method) const;
  std::vector<std::string> MethodNames(const Symbol& class_name) const;

 private:
  struct ClassInfo {
    Factory factory;
    std::vector<std::pair<Symbol, Method>> methods;
  };
  bool Known(const Symbol& name) const;

  std::set<std::string> symbols_;  // upper case
  std::map<uint32_t, ClassInfo> classes_;
};

// The initialisation procedures, run in this order; an empty one is skipped.
enum InitSlot {
  kWindowLibraryFirst,
  kErrorSystem,
  kErrorFunction,  // runs only while one run-time instance is active
  kWindowLibrarySecond,
  kWindowLibraryThird,
  kWindowLibraryFourth,
  kWindowLibraryFifth,
  kInitSlotCount
};

struct Program {
  // The program's own resource of that type and id, or nothing.
  std::function<std::optional<std::string_view>(int type, int id)> find_resource;
  // Registers the program's classes; false when one cannot be registered.
  std::function<bool(ClassRegistry&)> register_classes;
  std::array<std::function<void()>, kInitSlotCount> init_procedures;
};

inline constexpr int kExitStartupFailed = -1;

// Runs the start-up, the application and the shut-down over the given backends and returns the
// exit code: 0 after Start, -1 when the start-up failed before it (no message is shown then),
// the code set with ErrorLevel when the program was ended (_Quit). A C++ exception escaping from
// an initialisation procedure or from Start is raised as a run-time error to the error block.
// The run-time is installed here, over the given backends; one installed around this call lends
// its state (error block, settings) to it. When `trace` is given, each step of the sequence is
// appended to it.
int RunProgram(const Program& program, const Backends& backends,
               std::vector<std::string>* trace = nullptr);

// The number of active run-time instances.
int _GetRTCount();

// Counts one active run-time instance while it lives; for a program that starts its run-time
// without RunProgram.
class RuntimeInstance {
 public:
  RuntimeInstance();
  ~RuntimeInstance();
  RuntimeInstance(const RuntimeInstance&) = delete;
  RuntimeInstance& operator=(const RuntimeInstance&) = delete;
};

}  // namespace qef
