#include "errorsys/def_error.h"

#include "errorsys/def_error_gen.h"
#include "errorsys/error.h"
#include "errorsys/error_text.h"
#include "errorsys/set_international.h"
#include "runtime/error_block.h"
#include "runtime/file_text.h"
#include "runtime/international.h"
#include "runtime/startup.h"
#include "ui/user_interface.h"
#include "ui/window.h"

namespace qef {

namespace {

// The error system's own structure, filled only when DefError has to build an Error itself.
ErrorStructure static_error_structure;
constexpr int kMaxCallStackLevels = 5;
constexpr uint32_t kPointerType = PTR;

std::shared_ptr<Error> BuildNotAnError(const Usual& received) {
  MemClear(&static_error_structure, sizeof static_error_structure);
  const std::string argument = AsPsz(received);  // lives until the object is built
  static_error_structure.gen_code = EG_WRONGCLASS;
  static_error_structure.severity = ES_ERROR;
  static_error_structure.func_sym = Symbol("DEFERROR").id();
  static_error_structure.arg = argument.c_str();
  static_error_structure.arg_num = 1;
  static_error_structure.can_default = 1;
  std::shared_ptr<Error> built = AsError(ErrorBuild(&static_error_structure));
  // Without a registered error function the handler still needs its object.
  if (!built) built = AsError(DefErrorGen(Usual::Ptr(&static_error_structure)));
  return built;
}

}  // namespace

Usual DefError(const Usual& received) {
  Activation activation("DEFERROR", __LINE__);
  std::shared_ptr<Error> oError = AsError(received);
  if (!oError) oError = BuildNotAnError(received);
  if (!oError) return Usual::Logic(false);  // not even an empty object could be made

  if (oError->CanDefault && ((oError->GenCode == EG_OPEN && oError->OsCode == kSharingViolation) ||
                             oError->GenCode == EG_NETWORK)) {
    NetErr(true);
    return Usual::Logic(false);
  }

  const std::string caption = oError->Severity == ES_WARNING ? "WARNING" : "ERROR";
  if (oError->SubstituteType == kPointerType) oError->Severity = 3;

  std::string message = DefErrorText(*oError);

  uint32_t level = 1;
  uint32_t line = ProcLine(level);
  if (line > 0) {
    message += "CallStack: \r\n";
    while (line > 0) {
      message += ProcName(level) + " (Line: " + NTrim(Usual::Dword(line)) + ")\r\n";
      ++level;
      if (level > kMaxCallStackLevels) break;
      line = ProcLine(level);
    }
  }

  if (SetBeep()) {
    Tone(440, 1);
    Tone(494, 1);
    Tone(523, 1);
  }

  const uint32_t first = oError->CanDefault || oError->CanSubstitute ? 1 : 0;
  uint32_t retry = 0;
  if (oError->CanRetry && oError->GenCode == EG_NOVAR) {
    oError->CanRetry = false;
  } else if (oError->CanRetry) {
    retry = 2;
  }
  const uint32_t flags = CanBreak() ? 0x80000003u : 0x80000000u;

  if (SetErrorLog()) {
    FHandle handle = ErrorLogOpen();
    if (handle != F_ERROR) {
      FSeek3(handle, 0, 2);
      ErrorLogWrite(handle, message, *oError);
      FClose(handle);
    }
  }

  int reply = ErrorMessageBox(message, caption, first, retry, flags);

  if (reply == ERRORBOX_FIRST) {
    return oError->CanSubstitute ? EmptyUsual(oError->SubstituteType) : Usual::Logic(false);
  }
  if (reply == ERRORBOX_RETRY) return Usual::Logic(true);
  MathInit();
  if (CanBreak()) LabelJump(Usual::Obj(oError));
  ErrorLevel(static_cast<int>(oError->GenCode));
  _Quit();
}

void ErrorSysInit() {
  if (!ErrorBlock().IsNil()) return;
  ErrorBlock(Usual::Block([](const Usual& error) { return DefError(error); }));
  SetInternational(Symbol("WINDOWS"));
}

void ErrorFuncInit() {
  if (_GetRTCount() == 1) ErrorFunc(DefErrorGen);
}

}  // namespace qef
