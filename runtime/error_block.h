#pragma once

// The run-time's error services: the error block that every error is handed to, the error
// function that turns an error structure into an Error object, recovery points and breaks,
// the orderly end of the program, the activation records behind ProcName and ProcLine, and the
// settings and devices the default handler consults.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/error_structure.h"
#include "runtime/usual.h"

namespace qef {

// General error codes, in the run-time's own numbering.
inline constexpr uint32_t EG_ARG = 1;
inline constexpr uint32_t EG_BOUND = 2;
inline constexpr uint32_t EG_ZERODIV = 5;
inline constexpr uint32_t EG_MEM = 11;
inline constexpr uint32_t EG_NOMETHOD = 13;
inline constexpr uint32_t EG_NOVAR = 14;
inline constexpr uint32_t EG_CREATE = 20;
inline constexpr uint32_t EG_OPEN = 21;
inline constexpr uint32_t EG_CLOSE = 22;
inline constexpr uint32_t EG_READ = 23;
inline constexpr uint32_t EG_WRITE = 24;
inline constexpr uint32_t EG_WRONGCLASS = 28;
inline constexpr uint32_t EG_BADVALUE = 30;
inline constexpr uint32_t EG_NETWORK = 40;
inline constexpr uint32_t EG_EXCEPTION = 50;         // a C++ exception reached the run-time
inline constexpr uint32_t EG_SYSTEM_EXCEPTION = 51;  // a processor or system exception

// The sub-code of an error that carries a processor or system exception record.
inline constexpr uint32_t kExceptionSubCode = 5333;
// The operating system's sharing-violation code.
inline constexpr uint32_t kSharingViolation = 32;

// The text of a general error code.
std::string ErrString(uint32_t gen_code);
// The name of a type code.
std::string TypeString(uint32_t type);

// The installed error block, or NIL when none was ever installed.
Usual ErrorBlock();
// Installs a block (NIL removes it) and returns the one it replaces.
Usual ErrorBlock(const Usual& block);
// Registers the function that makes an Error object from a pointer to an error structure.
void ErrorFunc(std::function<Usual(const Usual&)> function);
// The Error object made from the structure by the registered function; NIL without one.
Usual ErrorBuild(const ErrorStructure* error_structure);
// Hands an error to the installed block and returns what the block returns. An error raised
// while a block runs, or with no block installed, ends the program with a short message on
// the standard error stream (exit code 1): handlers are never re-entered.
Usual CallErrorBlock(const Usual& error);
// Raises a run-time error: builds its Error object and hands it to the block.
Usual RaiseError(const ErrorStructure& error_structure);

// A processor or system exception as the operating system describes it.
struct ExceptionRecord {
  uint32_t code = 0;   // 0xC0000005 for an access violation
  uint32_t flags = 0;  // 1: the program cannot continue
  const void* address = nullptr;
  uint32_t parameter_count = 0;
  uint32_t information = 0;  // the first parameter (for an access violation: read 0, write 1)
};
// Raises the exception as an error with sub-code 5333: the exception code in OsCode, the flags
// in ArgType, the address in FuncPtr, the parameter count in ArgNum and the information in
// FuncSym. A backend calls it from its exception filter; neither default, retry nor substitute
// is offered.
Usual RaiseSystemException(const ExceptionRecord& record);

// Unwinds the C++ stack for the run-time: a break to a recovery point or the program's end.
// Not derived from std::exception, so code that turns exceptions into errors lets it pass.
class RuntimeUnwind {};
class BreakToRecovery : public RuntimeUnwind {
 public:
  explicit BreakToRecovery(Usual result) : value(std::move(result)) {}
  Usual value;
};
class QuitProgram : public RuntimeUnwind {};

// Whether a recovery point exists.
bool CanBreak();
// Breaks to the innermost recovery point, carrying the value.
[[noreturn]] void LabelJump(const Usual& value);
// Runs `body` under a recovery point: nothing when it ends normally, else the value a break
// carried to it.
std::optional<Usual> BeginSequence(const std::function<void()>& body);

void ErrorLevel(int exit_code);
int ErrorLevel();
// Ends the program in an orderly way: unwinds to the run-time, which shuts down with the exit
// code set by ErrorLevel.
[[noreturn]] void _Quit();
// Runs the program's part under the run-time: a C++ exception escaping from it is raised as an
// error (general code EG_EXCEPTION) to the error block, and the program's end (_Quit, or a
// break with no recovery point) returns the exit code. Otherwise returns what `body` returns.
int RunGuarded(const std::function<int()>& body);

// Resets the floating-point unit.
void MathInit();
bool NetErr();
void NetErr(bool failed);
bool SetBeep();
bool SetBeep(bool on);  // returns the previous setting
bool SetErrorLog();
bool SetErrorLog(bool on);  // returns the previous setting
// Reports an internal error of the run-time: it is recorded and written to the standard error
// stream, and the program goes on.
void _IError(uint32_t code, uint32_t sub_code, const std::string& text);
void MemClear(void* memory, size_t size);

// A light activation record: while it lives, its function is one level of the call chain that
// ProcName and ProcLine report. The line is where the function was entered unless updated.
class Activation {
 public:
  Activation(std::string_view name, uint32_t line);
  ~Activation();
  Activation(const Activation&) = delete;
  Activation& operator=(const Activation&) = delete;
  void Line(uint32_t line);

 private:
  size_t index_;
};
// Name and line of the activation `level` levels up the chain (0: the innermost); an empty
// name and line 0 where there is none.
std::string ProcName(uint32_t level = 0);
uint32_t ProcLine(uint32_t level = 0);

}  // namespace qef
