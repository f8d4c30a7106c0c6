#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "runtime/locale_source.h"

namespace qef {

// What a POSIX locale says about numbers, dates and times (nl_langinfo's items).
struct PosixLocaleFacts {
  std::string decimal_point;
  std::string thousands_sep;
  std::string date_format;       // D_FMT, e.g. "%d.%m.%Y"
  std::string time_format;       // T_FMT, e.g. "%H:%M:%S" or "%r"
  std::string time_format_ampm;  // T_FMT_AMPM, e.g. "%I:%M:%S %p"
  std::string am;
  std::string pm;
};

// The texts of the locale items the facts answer, by item number, as Windows would give them:
// separators from the formats, the 12/24-hour clock (LOCALE_ITIME "0"/"1"), the date order
// (LOCALE_IDATE "0" month-day-year, "1" day-month-year, "2" year-month-day) and a short-date
// pattern such as "dd.MM.yyyy". An item the facts cannot answer (an empty separator, a
// separator that is not one ASCII character, an order Windows has no number for) is missing,
// and so is LOCALE_IDIGITS, which POSIX locales do not have for plain numbers.
std::map<uint32_t, std::string> LocaleItemsFromFacts(const PosixLocaleFacts& facts);

// The user's POSIX locale (LANG, LC_ALL, LC_NUMERIC, LC_TIME), read once when created.
class PosixLocale : public LocaleSource {
 public:
  PosixLocale();
  explicit PosixLocale(const PosixLocaleFacts& facts) : items_(LocaleItemsFromFacts(facts)) {}
  LCID GetUserDefaultLCID() override { return LOCALE_USER_DEFAULT; }
  // Answers the user's locale whatever locale identifier is asked for.
  int GetLocaleInfoA(LCID locale, uint32_t item, char* buffer, int size) override;

 private:
  std::map<uint32_t, std::string> items_;
};

}  // namespace qef
