#pragma once

// The run-time's international settings and the conversions that follow them: numbers, dates
// and times to text.

#include <cstdint>
#include <string>

#include "runtime/locale_source.h"
#include "runtime/symbol.h"
#include "runtime/usual.h"

namespace qef {

// The installed run-time's locale; without one every read fails.
LCID GetUserDefaultLCID();
int GetLocaleInfoA(LCID locale, uint32_t item, char* buffer, int size);

// Each setter returns the previous value; the form without an argument only returns it.
uint32_t SetDecimalSep();
uint32_t SetDecimalSep(uint32_t character);
uint32_t SetThousandSep();
uint32_t SetThousandSep(uint32_t character);
uint32_t SetTimeSep();
uint32_t SetTimeSep(uint32_t character);
bool SetAmPm();
bool SetAmPm(bool twelve_hour);
std::string SetAMExt();
std::string SetAMExt(const std::string& suffix);
std::string SetPMExt();
std::string SetPMExt(const std::string& suffix);
std::string SetDateFrmt();
// The format is upper-cased; it must hold "DD", "MM" and "YY" (or "YYYY") and no NUL, else an
// argument error is raised (it can default) and the format stays as it was.
std::string SetDateFrmt(const std::string& format);
uint32_t SetDecimal();
uint32_t SetDecimal(uint32_t decimals);
uint32_t _SetDict();
uint32_t _SetDict(uint32_t mode);
uint32_t _SetIntl();
uint32_t _SetIntl(uint32_t mode);
bool SetCentury();
bool SetCentury(bool four_digits);
uint32_t SetEpoch();
uint32_t SetEpoch(uint32_t year);

Date Today();
// The date in the date format; the year has four digits when SetCentury is on, two otherwise.
// The null date gives the format with blanks in place of digits.
std::string DToC(const Date& date);
// Seconds since midnight as hh:mm:ss with the time separator; with SetAmPm on, on the 12-hour
// clock followed by the AM or PM suffix. Seconds are taken modulo one day.
std::string TString(uint32_t seconds);
// The current time as TString gives it.
std::string Time();
std::string Version();

// A number as decimal digits without blanks; floating-point numbers with SetDecimal decimals
// and the decimal separator.
std::string NTrim(const Usual& number);
// The textual form of any value: numbers as NTrim, logicals ".T." and ".F.", symbols by name,
// pointers as 0x and hexadecimal digits, NIL as "NIL", arrays "{[n]}", objects "{OBJECT}",
// code blocks "{|| }".
std::string AsString(const Usual& value);
std::string AsPsz(const Usual& value);
std::string Symbol2String(const Symbol& symbol);
std::string Upper(std::string text);
// Up to `count` characters from the 1-based position `start`.
std::string SubStr(const std::string& text, size_t start, size_t count);
size_t SLen(const std::string& text);

}  // namespace qef
