#include "runtime/international.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

#include "runtime/error_block.h"
#include "runtime/locale_source.h"
#include "runtime/runtime.h"
#include "runtime/runtime_state.h"

namespace qef {

namespace {

InternationalSettings& Settings() { return CurrentRuntime().state().international; }

LocalDateTime Now() {
  const auto& clock = CurrentRuntime().state().clock;
  if (clock) return clock();
  std::time_t now = std::time(nullptr);
  std::tm local = *std::localtime(&now);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::string TwoDigits(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

bool ValidDateFormat(const std::string& format) {
  return format.find('\0') == std::string::npos && format.find("DD") != std::string::npos &&
         format.find("MM") != std::string::npos && format.find("YY") != std::string::npos;
}

}  // namespace

uint32_t SetDecimalSep() { return Settings().decimal_sep; }
uint32_t SetDecimalSep(uint32_t character) {
  return std::exchange(Settings().decimal_sep, character);
}
uint32_t SetThousandSep() { return Settings().thousand_sep; }
uint32_t SetThousandSep(uint32_t character) {
  return std::exchange(Settings().thousand_sep, character);
}
uint32_t SetTimeSep() { return Settings().time_sep; }
uint32_t SetTimeSep(uint32_t character) { return std::exchange(Settings().time_sep, character); }
bool SetAmPm() { return Settings().am_pm; }
bool SetAmPm(bool twelve_hour) { return std::exchange(Settings().am_pm, twelve_hour); }
std::string SetAMExt() { return Settings().am_ext; }
std::string SetAMExt(const std::string& suffix) { return std::exchange(Settings().am_ext, suffix); }
std::string SetPMExt() { return Settings().pm_ext; }
std::string SetPMExt(const std::string& suffix) { return std::exchange(Settings().pm_ext, suffix); }
std::string SetDateFrmt() { return Settings().date_format; }

std::string SetDateFrmt(const std::string& format) {
  std::string upper = Upper(format);
  if (!ValidDateFormat(upper)) {
    ErrorStructure error_structure{};
    error_structure.subsystem = "Runtime";
    error_structure.gen_code = EG_ARG;
    error_structure.severity = ES_ERROR;
    error_structure.can_default = 1;
    error_structure.func_sym = Symbol("SETDATEFRMT").id();
    error_structure.arg = upper.c_str();
    error_structure.arg_type = STRING;
    error_structure.arg_num = 1;
    error_structure.description = "A date format needs DD, MM and YY";
    RaiseError(error_structure);
    return Settings().date_format;
  }
  return std::exchange(Settings().date_format, upper);
}

uint32_t SetDecimal() { return Settings().decimal; }
uint32_t SetDecimal(uint32_t decimals) { return std::exchange(Settings().decimal, decimals); }
uint32_t _SetDict() { return Settings().dict; }
uint32_t _SetDict(uint32_t mode) { return std::exchange(Settings().dict, mode); }
uint32_t _SetIntl() { return Settings().intl; }
uint32_t _SetIntl(uint32_t mode) { return std::exchange(Settings().intl, mode); }
bool SetCentury() { return Settings().century; }
bool SetCentury(bool four_digits) { return std::exchange(Settings().century, four_digits); }
uint32_t SetEpoch() { return Settings().epoch; }
uint32_t SetEpoch(uint32_t year) { return std::exchange(Settings().epoch, year); }

Date Today() {
  LocalDateTime now = Now();
  return {now.year, now.month, now.day};
}

std::string DToC(const Date& date) {
  const InternationalSettings& settings = Settings();
  const std::string& format = settings.date_format;
  const bool blank = date.IsNull();
  std::string text;
  for (size_t i = 0; i < format.size();) {
    if (format.compare(i, 2, "YY") == 0) {
      char year[16];
      if (settings.century) {
        std::snprintf(year, sizeof year, "%04d", date.year);
      } else {
        std::snprintf(year, sizeof year, "%02d", date.year % 100);
      }
      text += blank ? std::string(settings.century ? 4 : 2, ' ') : std::string(year);
      i += format.compare(i, 4, "YYYY") == 0 ? 4 : 2;
    } else if (format.compare(i, 2, "MM") == 0) {
      text += blank ? "  " : TwoDigits(date.month);
      i += 2;
    } else if (format.compare(i, 2, "DD") == 0) {
      text += blank ? "  " : TwoDigits(date.day);
      i += 2;
    } else {
      text += format[i++];
    }
  }
  return text;
}

std::string TString(uint32_t seconds) {
  const InternationalSettings& settings = Settings();
  seconds %= 86400;
  const int hour24 = static_cast<int>(seconds / 3600);
  const int minute = static_cast<int>(seconds / 60 % 60);
  const int second = static_cast<int>(seconds % 60);
  const char separator = static_cast<char>(settings.time_sep);
  int hour = hour24;
  if (settings.am_pm) hour = hour % 12 == 0 ? 12 : hour % 12;
  std::string text =
      TwoDigits(hour) + separator + TwoDigits(minute) + separator + TwoDigits(second);
  if (settings.am_pm) text += hour24 < 12 ? settings.am_ext : settings.pm_ext;
  return text;
}

std::string Time() {
  LocalDateTime now = Now();
  return TString(static_cast<uint32_t>(now.hour * 3600 + now.minute * 60 + now.second));
}

std::string Version() { return CurrentRuntime().state().version; }

std::string NTrim(const Usual& number) {
  switch (number.Type()) {
    case LONGINT:
      return std::to_string(number.AsLong());
    case DWORD:
      return std::to_string(number.AsDword());
    case UINT64:
      return std::to_string(number.AsUint64());
    case FLOAT: {
      double value = number.AsFloat();
      if (!std::isfinite(value)) return value != value ? "NaN" : value > 0 ? "+INF" : "-INF";
      char text[400];
      std::snprintf(text, sizeof text, "%.*f",
                    static_cast<int>(std::min<uint32_t>(Settings().decimal, 15)), value);
      std::string result = text;
      size_t point = result.find('.');
      if (point != std::string::npos) result[point] = static_cast<char>(Settings().decimal_sep);
      return result;
    }
    default:
      return AsString(number);
  }
}

std::string AsString(const Usual& value) {
  switch (value.Type()) {
    case LONGINT:
    case DWORD:
    case UINT64:
    case FLOAT:
      return NTrim(value);
    case DATE:
      return DToC(value.AsDate());
    case STRING:
      return value.AsText();
    case LOGIC:
      return value.AsLogic() ? ".T." : ".F.";
    case SYMBOL:
      return Symbol2String(value.AsSymbol());
    case PTR: {
      auto address = reinterpret_cast<uintptr_t>(value.AsPtr());
      char text[32];
      if (address <= 0xFFFFFFFFu) {
        std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(address));
      } else {
        std::snprintf(text, sizeof text, "0x%016llX", static_cast<unsigned long long>(address));
      }
      return text;
    }
    case ARRAY:
      return "{[" + std::to_string(value.AsArray().size()) + "]}";
    case OBJECT:
      return "{OBJECT}";
    case CODEBLOCK:
      return "{|| }";
    default:
      return "NIL";
  }
}

std::string AsPsz(const Usual& value) { return AsString(value); }

std::string Symbol2String(const Symbol& symbol) { return symbol.name(); }

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string SubStr(const std::string& text, size_t start, size_t count) {
  if (start == 0 || start > text.size()) return std::string();
  return text.substr(start - 1, count);
}

size_t SLen(const std::string& text) { return text.size(); }

LCID GetUserDefaultLCID() {
  LocaleSource* locale = CurrentRuntime().state().locale;
  return locale != nullptr ? locale->GetUserDefaultLCID() : LOCALE_USER_DEFAULT;
}

int GetLocaleInfoA(LCID locale_id, uint32_t item, char* buffer, int size) {
  LocaleSource* locale = CurrentRuntime().state().locale;
  return locale != nullptr ? locale->GetLocaleInfoA(locale_id, item, buffer, size) : 0;
}

}  // namespace qef
