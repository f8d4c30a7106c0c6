#include "runtime/error_block.h"

#include <cfenv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <utility>
#include <vector>

#include "runtime/runtime.h"
#include "runtime/runtime_state.h"

namespace qef {

namespace {

RuntimeState& State() { return CurrentRuntime().state(); }

constexpr int kExitErrorInError = 1;

// Ends the program without consulting any handler.
[[noreturn]] void EndAbruptly(const char* why) {
  std::fprintf(stderr, "Error in Error: %s; the program ends.\n", why);
  std::fflush(stderr);
  State().exit_code = kExitErrorInError;
  throw QuitProgram();
}

// Counts a running handler for as long as it runs, however it is left.
class HandlerRunning {
 public:
  HandlerRunning() { ++State().handlers_running; }
  ~HandlerRunning() { --State().handlers_running; }
  HandlerRunning(const HandlerRunning&) = delete;
  HandlerRunning& operator=(const HandlerRunning&) = delete;
};

struct ActivationEntry {
  std::string name;
  uint32_t line;
};

// The call chain is the thread's, not one run-time's.
std::vector<ActivationEntry>& Activations() {
  static std::vector<ActivationEntry> chain;
  return chain;
}

int EndWithException(const std::string& what) {
  ErrorStructure error_structure{};
  error_structure.subsystem = "Runtime";
  error_structure.gen_code = EG_EXCEPTION;
  error_structure.severity = ES_ERROR;
  error_structure.operation = "C++ exception";
  error_structure.description = what.c_str();
  try {
    RaiseError(error_structure);
  } catch (const QuitProgram&) {
    return ErrorLevel();
  } catch (const BreakToRecovery&) {
    if (CanBreak()) throw;
    return ErrorLevel() != 0 ? ErrorLevel() : static_cast<int>(EG_EXCEPTION);
  } catch (...) {
    std::fputs("Error in Error: the error handler failed; the program ends.\n", stderr);
    return kExitErrorInError;
  }
  // A handler that returned cannot resume what the exception left.
  ErrorLevel(static_cast<int>(EG_EXCEPTION));
  return ErrorLevel();
}

}  // namespace

std::string ErrString(uint32_t gen_code) {
  static const std::map<uint32_t, const char*> kTexts = {
      {0, "No error"},
      {EG_ARG, "Argument error"},
      {EG_BOUND, "Bound error"},
      {EG_ZERODIV, "Zero divisor"},
      {EG_MEM, "Memory low"},
      {EG_NOMETHOD, "No exported method"},
      {EG_NOVAR, "Variable does not exist"},
      {EG_CREATE, "Create error"},
      {EG_OPEN, "Open error"},
      {EG_CLOSE, "Close error"},
      {EG_READ, "Read error"},
      {EG_WRITE, "Write error"},
      {EG_WRONGCLASS, "Not an error object"},
      {EG_BADVALUE, "Value not supported"},
      {EG_NETWORK, "Network error"},
      {EG_EXCEPTION, "Unhandled exception"},
      {EG_SYSTEM_EXCEPTION, "System exception"},
  };
  auto found = kTexts.find(gen_code);
  return found == kTexts.end() ? "Unknown error" : found->second;
}

std::string TypeString(uint32_t type) {
  switch (type) {
    case NIL:
      return "NIL";
    case LONGINT:
      return "LONGINT";
    case FLOAT:
      return "FLOAT";
    case ARRAY:
      return "ARRAY";
    case OBJECT:
      return "OBJECT";
    case STRING:
      return "STRING";
    case LOGIC:
      return "LOGIC";
    case CODEBLOCK:
      return "CODEBLOCK";
    case SYMBOL:
      return "SYMBOL";
    case DWORD:
      return "DWORD";
    case PTR:
      return "PTR";
    default:
      return "UNKNOWN";
  }
}

Usual ErrorBlock() { return State().error_block; }

Usual ErrorBlock(const Usual& block) {
  Usual previous = State().error_block;
  State().error_block = block;
  return previous;
}

void ErrorFunc(std::function<Usual(const Usual&)> function) {
  State().error_func = std::move(function);
}

Usual ErrorBuild(const ErrorStructure* error_structure) {
  auto& function = State().error_func;
  if (!function) return Usual();
  return function(Usual::Ptr(error_structure));
}

Usual CallErrorBlock(const Usual& error) {
  RuntimeState& state = State();
  if (state.handlers_running > 0) EndAbruptly("an error was raised while the error handler ran");
  if (state.error_block.Type() != CODEBLOCK) EndAbruptly("no error block is installed");
  Usual block = state.error_block;  // the block may replace itself while it runs
  HandlerRunning running;
  return block.Eval(error);
}

Usual RaiseError(const ErrorStructure& error_structure) {
  if (State().handlers_running > 0) EndAbruptly("an error was raised while the error handler ran");
  return CallErrorBlock(ErrorBuild(&error_structure));
}

Usual RaiseSystemException(const ExceptionRecord& record) {
  ErrorStructure error_structure{};
  error_structure.subsystem = "Runtime";
  error_structure.sub_code = kExceptionSubCode;
  error_structure.gen_code = EG_SYSTEM_EXCEPTION;
  error_structure.severity = ES_ERROR;
  error_structure.os_code = record.code;
  error_structure.arg_type = record.flags;
  error_structure.func_ptr = record.address;
  error_structure.arg_num = record.parameter_count;
  error_structure.func_sym = record.information;
  error_structure.description = "The processor or the system raised an exception";
  return RaiseError(error_structure);
}

bool CanBreak() { return State().recovery_points > 0; }

void LabelJump(const Usual& value) { throw BreakToRecovery(value); }

std::optional<Usual> BeginSequence(const std::function<void()>& body) {
  RuntimeState& state = State();
  ++state.recovery_points;
  try {
    body();
  } catch (const BreakToRecovery& jump) {
    --state.recovery_points;
    return jump.value;
  } catch (...) {
    --state.recovery_points;
    throw;
  }
  --state.recovery_points;
  return std::nullopt;
}

void ErrorLevel(int exit_code) { State().exit_code = exit_code; }
int ErrorLevel() { return State().exit_code; }

void _Quit() { throw QuitProgram(); }

int RunGuarded(const std::function<int()>& body) {
  try {
    return body();
  } catch (const QuitProgram&) {
    return ErrorLevel();
  } catch (const BreakToRecovery&) {
    return ErrorLevel() != 0 ? ErrorLevel() : kExitErrorInError;
  } catch (const std::exception& exception) {
    return EndWithException(exception.what());
  } catch (...) {
    return EndWithException("An exception of unknown type");
  }
}

void MathInit() {
  std::feclearexcept(FE_ALL_EXCEPT);
  std::fesetround(FE_TONEAREST);
  ++State().math_resets;
}

bool NetErr() { return State().net_err; }
void NetErr(bool failed) { State().net_err = failed; }

bool SetBeep() { return State().beep; }
bool SetBeep(bool on) { return std::exchange(State().beep, on); }
bool SetErrorLog() { return State().error_log; }
bool SetErrorLog(bool on) { return std::exchange(State().error_log, on); }

void _IError(uint32_t code, uint32_t sub_code, const std::string& text) {
  State().internal_errors.push_back({code, sub_code, text});
  std::fprintf(stderr, "Internal error %u/%u: %s\n", code, sub_code, text.c_str());
}

void MemClear(void* memory, size_t size) { std::memset(memory, 0, size); }

Activation::Activation(std::string_view name, uint32_t line) : index_(Activations().size()) {
  Activations().push_back({std::string(name), line});
}

Activation::~Activation() { Activations().resize(index_); }

void Activation::Line(uint32_t line) { Activations()[index_].line = line; }

std::string ProcName(uint32_t level) {
  const auto& chain = Activations();
  return level < chain.size() ? chain[chain.size() - 1 - level].name : std::string();
}

uint32_t ProcLine(uint32_t level) {
  const auto& chain = Activations();
  return level < chain.size() ? chain[chain.size() - 1 - level].line : 0;
}

}  // namespace qef
