#include "platform/posix/posix_locale.h"

#include <langinfo.h>
#include <locale.h>

#include <vector>

#include "platform/backends.h"
#include "platform/locale_text.h"
#include "runtime/international.h"

namespace qef {

namespace {

// The format with the composite conversions spelt out and the E and O modifiers dropped.
std::string Expand(const std::string& format, const std::string& ampm_format, int depth = 0) {
  std::string out;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 == format.size()) {
      out += format[i];
      continue;
    }
    char conversion = format[++i];
    if ((conversion == 'E' || conversion == 'O') && i + 1 < format.size()) {
      conversion = format[++i];
    }
    switch (conversion) {
      case 'D':
        out += "%m/%d/%y";
        break;
      case 'F':
        out += "%Y-%m-%d";
        break;
      case 'T':
        out += "%H:%M:%S";
        break;
      case 'R':
        out += "%H:%M";
        break;
      case 'r':
        out += depth == 0 && !ampm_format.empty() ? Expand(ampm_format, "", 1) : "%I:%M:%S %p";
        break;
      default:
        out += '%';
        out += conversion;
    }
  }
  return out;
}

bool IsSeparator(char c) {
  return c > ' ' && c < 0x7F && !(c >= '0' && c <= '9') && !(c >= 'A' && c <= 'Z') &&
         !(c >= 'a' && c <= 'z');
}

struct Field {
  char kind;  // 'd', 'm', 'y' (two digits), 'Y' (four digits)
  size_t end;
};

std::vector<Field> DateFields(const std::string& format) {
  std::vector<Field> fields;
  for (size_t i = 0; i + 1 < format.size(); ++i) {
    if (format[i] != '%') continue;
    char c = format[++i];
    if (c == 'd' || c == 'e') fields.push_back({'d', i + 1});
    if (c == 'm' || c == 'b' || c == 'h') fields.push_back({'m', i + 1});
    if (c == 'y' || c == 'Y') fields.push_back({c, i + 1});
  }
  return fields;
}

void AddDateItems(const std::string& format, std::map<uint32_t, std::string>& items) {
  std::vector<Field> fields = DateFields(format);
  if (fields.size() != 3) return;
  std::string order;
  for (const Field& field : fields) order += field.kind == 'Y' ? 'y' : field.kind;
  if (order == "mdy") items[LOCALE_IDATE] = "0";
  if (order == "dmy") items[LOCALE_IDATE] = "1";
  if (order == "ymd") items[LOCALE_IDATE] = "2";
  if (fields[0].end < format.size() && IsSeparator(format[fields[0].end])) {
    items[LOCALE_SDATE] = std::string(1, format[fields[0].end]);
  }
  std::string pattern;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 == format.size()) {
      pattern += format[i];
      continue;
    }
    char c = format[++i];
    pattern += c == 'd' || c == 'e'               ? "dd"
               : c == 'm' || c == 'b' || c == 'h' ? "MM"
               : c == 'y'                         ? "yy"
               : c == 'Y'                         ? "yyyy"
                                                  : "";
  }
  items[LOCALE_SSHORTDATE] = pattern;
}

void AddTimeItems(const std::string& format, std::map<uint32_t, std::string>& items) {
  for (size_t i = 0; i + 1 < format.size(); ++i) {
    if (format[i] != '%') continue;
    char c = format[++i];
    bool hours24 = c == 'H' || c == 'k';
    bool hours12 = c == 'I' || c == 'l';
    if (!hours24 && !hours12) continue;
    items[LOCALE_ITIME] = hours24 ? "1" : "0";
    if (i + 1 < format.size() && IsSeparator(format[i + 1]) && format[i + 1] != '%') {
      items[LOCALE_STIME] = std::string(1, format[i + 1]);
    }
    return;
  }
}

}  // namespace

std::map<uint32_t, std::string> LocaleItemsFromFacts(const PosixLocaleFacts& facts) {
  std::map<uint32_t, std::string> items;
  if (facts.decimal_point.size() == 1 && IsSeparator(facts.decimal_point[0])) {
    items[LOCALE_SDECIMAL] = facts.decimal_point;
  }
  if (facts.thousands_sep.size() == 1 &&
      (IsSeparator(facts.thousands_sep[0]) || facts.thousands_sep[0] == ' ')) {
    items[LOCALE_STHOUSAND] = facts.thousands_sep;
  }
  AddTimeItems(Expand(facts.time_format, facts.time_format_ampm), items);
  items[LOCALE_S1159] = facts.am;
  items[LOCALE_S2359] = facts.pm;
  AddDateItems(Expand(facts.date_format, facts.time_format_ampm), items);
  return items;
}

PosixLocale::PosixLocale() {
  locale_t user = ::newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr));
  if (user == static_cast<locale_t>(nullptr)) {
    user = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  }
  if (user == static_cast<locale_t>(nullptr)) return;
  auto info = [user](nl_item item) { return std::string(::nl_langinfo_l(item, user)); };
  PosixLocaleFacts facts{info(RADIXCHAR),  info(THOUSEP), info(D_FMT), info(T_FMT),
                         info(T_FMT_AMPM), info(AM_STR),  info(PM_STR)};
  ::freelocale(user);
  items_ = LocaleItemsFromFacts(facts);
}

int PosixLocale::GetLocaleInfoA(LCID, uint32_t item, char* buffer, int size) {
  auto found = items_.find(item);
  if (found == items_.end()) return 0;
  return CopyLocaleText(found->second.c_str(), buffer, size);
}

std::unique_ptr<LocaleSource> MakeSystemLocale() { return std::make_unique<PosixLocale>(); }

}  // namespace qef
