#include "platform/file_time.h"

namespace qef {

namespace {
constexpr uint64_t kTicksPerSecond = 10'000'000;
constexpr uint64_t kSecondsPerDay = 86'400;
}  // namespace

bool FileTimeToCalendar(const FILETIME& time, SYSTEMTIME* result) {
  const uint64_t ticks = FileTimeValue(time);
  if (ticks >= uint64_t{1} << 63 || result == nullptr) return false;
  const uint64_t seconds = ticks / kTicksPerSecond;
  const uint64_t second_of_day = seconds % kSecondsPerDay;
  // Days since 1601-01-01, then the civil date by whole 400-year cycles (146097 days), which
  // begin on 1 January of 1601, 2001 and so on.
  uint64_t days = seconds / kSecondsPerDay;
  const uint16_t day_of_week = static_cast<uint16_t>((days + 1) % 7);  // 1601-01-01: Monday
  int64_t year = 1601 + 400 * static_cast<int64_t>(days / 146097);
  days %= 146097;
  auto leap = [](int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
  while (true) {
    const uint64_t length = leap(year) ? 366 : 365;
    if (days < length) break;
    days -= length;
    ++year;
  }
  static constexpr int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int month = 0;
  while (true) {
    const uint64_t length = kMonthDays[month] + (month == 1 && leap(year) ? 1 : 0);
    if (days < length) break;
    days -= length;
    ++month;
  }
  result->wYear = static_cast<uint16_t>(year);
  result->wMonth = static_cast<uint16_t>(month + 1);
  result->wDayOfWeek = day_of_week;
  result->wDay = static_cast<uint16_t>(days + 1);
  result->wHour = static_cast<uint16_t>(second_of_day / 3600);
  result->wMinute = static_cast<uint16_t>(second_of_day / 60 % 60);
  result->wSecond = static_cast<uint16_t>(second_of_day % 60);
  result->wMilliseconds = static_cast<uint16_t>(ticks % kTicksPerSecond / 10'000);
  return true;
}

}  // namespace qef
