#include "errorsys/error_text.h"

#include <algorithm>
#include <cmath>

#include "runtime/error_block.h"
#include "runtime/file_text.h"
#include "runtime/international.h"

namespace qef {

namespace {

constexpr char kCrLf[] = "\r\n";
constexpr char kLogName[] = "VOERROR.LOG";

std::string Num(uint32_t number) { return NTrim(Usual::Dword(number)); }

}  // namespace

std::string DefErrorText(const Error& oError) {
  std::string text = oError.Severity == ES_WARNING ? "WARNING : " : "Error Code: ";
  text += " ";
  if (oError.GenCode == 0) {
    text += oError.Description;
  } else {
    text += Num(oError.GenCode) + " [ " + Upper(ErrString(oError.GenCode)) + " ]";
  }
  text += kCrLf;
  if (!oError.SubSystem.empty()) text += "Subsystem: " + oError.SubSystem + kCrLf;
  if (oError.SubCode != 0) {
    text += "Error Subcode: " + Num(oError.SubCode);
    if (!oError.SubCodeText.empty()) text += " (" + oError.SubCodeText + ")";
    text += kCrLf;
  }
  if (!oError.Operation.empty()) text += "Operation: " + oError.Operation + kCrLf;
  if (!oError.FuncSym.empty()) text += "Function: " + Symbol2String(oError.FuncSym) + kCrLf;
  if (!oError.FileName.empty()) text += "Filename: " + SubStr(oError.FileName, 1, 40) + kCrLf;
  if (!oError.Arg.empty()) {
    text += "Argument: " + oError.Arg + kCrLf;
    if (oError.ArgType != 0) text += "Type: " + TypeString(oError.ArgType) + kCrLf;
  }
  if (oError.ArgNum != 0) text += "Argument Number: " + Num(oError.ArgNum) + kCrLf;
  if (oError.ArgTypeReq != 0 && oError.ArgTypeReq != oError.ArgType) {
    text += "Requested type: " + TypeString(oError.ArgTypeReq) + kCrLf;
  }
  if (!oError.Description.empty()) text += "Description: " + oError.Description + kCrLf;
  return text;
}

FHandle ErrorLogOpen() {
  std::string path = WorkDir() + kLogName;
  FHandle handle = FOpen2(path, FO_WRITE);
  if (handle != F_ERROR) {
    FSeek3(handle, 0, 2);
    FPutS3(handle, "", 0);
    return handle;
  }
  handle = FCreate2(path, FC_ARCHIVED);
  if (FError() == kErrorPathNotFound) {
    std::string report;
    if (!GetDefaultDir().empty()) {
      report = "SetDefaultDir: " + GetDefaultDir();
      SetDefaultDir("");
    } else {
      report = "SetDefault: " + GetDefault();
      SetDefault("");
    }
    _IError(1, 0, report);
  }
  return handle;
}

void ErrorLogWrite(FHandle handle, const std::string& message, const Error& oError) {
  auto line = [handle](const std::string& label, const std::string& value) {
    FPutS(handle, label + value);
  };
  const bool exception = oError.SubCode == kExceptionSubCode;
  FPutS(handle, "***********************ERROR********************************");
  FPutS(handle, Version());
  FPutS(handle, DToC(Today()) + " " + Time());
  FPutS(handle, " ");
  FPutS(handle, "Error message:");
  FPutS(handle, "--------------");
  FPutS(handle, message);
  FPutS(handle, "Error Object created:");
  FPutS(handle, "--------------------");
  line("SubSystem       :", AsString(Usual::String(oError.SubSystem)));
  line("SubCode         :", AsString(Usual::Dword(oError.SubCode)));
  line("GenCode         :", ErrString(oError.GenCode));
  if (exception) {
    line("ExceptionCode   :", ValueToHex(Usual::Dword(oError.OsCode)));
    line("ExceptionFlags  :", ValueToHex(Usual::Dword(oError.ArgType)));
    line("ExceptionAddress:", ValueToHex(Usual::Ptr(oError.FuncPtr)));
    line("ParamNumber     :", AsString(Usual::Dword(oError.ArgNum)));
    line("ExceptionInfo   :", ValueToHex(Usual::Sym(oError.FuncSym)));
  } else {
    line("OsCode          :", AsString(Usual::Dword(oError.OsCode)));
    line("ArgType         :", TypeString(oError.ArgType));
    line("FuncPtr         :", AsString(Usual::Ptr(oError.FuncPtr)));
    line("ArgNum          :", AsString(Usual::Dword(oError.ArgNum)));
    line("FuncSym         :", AsString(Usual::Sym(oError.FuncSym)));
  }
  line("Severity        :", AsString(Usual::Dword(oError.Severity)));
  line("CanDefault      :", AsString(Usual::Logic(oError.CanDefault)));
  line("CanRetry        :", AsString(Usual::Logic(oError.CanRetry)));
  line("CanSubstitute   :", AsString(Usual::Logic(oError.CanSubstitute)));
  line("Operation       :", AsString(Usual::String(oError.Operation)));
  line("Description     :", AsString(Usual::String(oError.Description)));
  line("FileName        :", AsString(Usual::String(oError.FileName)));
  line("Tries           :", AsString(Usual::Dword(oError.Tries)));
  line("FileHandle      :", AsString(Usual::Dword(oError.FileHandle)));
  line("SubCodeText     :", AsString(Usual::String(oError.SubCodeText)));
  line("Arg             :", AsString(Usual::String(oError.Arg)));
  line("ArgTypeReq      :", TypeString(oError.ArgTypeReq));
  line("MaxSize         :", AsString(Usual::Dword(oError.MaxSize)));
  line("SubstituteType  :", TypeString(oError.SubstituteType));
  line("CallFuncSym     :", AsString(Usual::Sym(oError.CallFuncSym)));
  FPutS(handle, "--------------------");
}

std::string ValueToHex(const Usual& value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char hex[8];
  switch (value.Type()) {
    case LONGINT:
      _Hex(static_cast<uint32_t>(value.AsLong()), hex);
      return std::string(hex, 8);
    case DWORD:
      _Hex(value.AsDword(), hex);
      return std::string(hex, 8);
    case SYMBOL:
      _Hex(value.AsSymbol().id(), hex);
      return std::string(hex, 8);
    case PTR: {
      // A pointer wider than 32 bits keeps all its digits.
      auto address = reinterpret_cast<uintptr_t>(value.AsPtr());
      std::string text;
      do {
        _Hex(static_cast<uint32_t>(address & 0xFFFFFFFFu), hex);
        text.insert(0, hex, 8);
        address = sizeof(address) > 4 ? address >> 16 >> 16 : 0;
      } while (address != 0);
      return text;
    }
    case FLOAT: {
      double number = value.AsFloat();
      if (!(number >= -2147483647.0 && number <= 4294967295.0) || number != std::floor(number)) {
        return AsString(value);
      }
      std::string text;
      do {
        double remainder = number - 16.0 * std::floor(number / 16.0);
        text.insert(text.begin(), kDigits[std::min(15, static_cast<int>(remainder))]);
        number /= 16.0;
      } while (std::fabs(number) >= 1.0);
      return text;
    }
    default:
      return AsString(value);
  }
}

}  // namespace qef
