#include "errorsys/set_international.h"

#include <memory>
#include <string>

#include "errorsys/error.h"
#include "runtime/locale_source.h"
#include "runtime/error_block.h"
#include "runtime/international.h"

namespace qef {

namespace {

constexpr int kBufferSize = 64;

// A decimal number at the start of the text, as the run-time reads one.
int DecimalNumber(const std::string& text) {
  size_t i = text.find_first_not_of(' ');
  if (i == std::string::npos) return 0;
  bool negative = text[i] == '-';
  if (text[i] == '-' || text[i] == '+') ++i;
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 100000000; ++i) {
    value = value * 10 + (text[i] - '0');
  }
  return static_cast<int>(negative ? -value : value);
}

// One read of a locale item into the call's buffer: the item's text, or nothing.
class LocaleReader {
 public:
  explicit LocaleReader(LCID locale) : locale_(locale), buffer_(new char[kBufferSize]()) {}

  std::optional<std::string> Read(uint32_t item) {
    int count = GetLocaleInfoA(locale_, item, buffer_.get(), kBufferSize);
    if (count <= 0) return std::nullopt;
    if (count > kBufferSize) count = kBufferSize;  // never trust a count past the buffer
    return std::string(buffer_.get(), static_cast<size_t>(count - 1));
  }
  // The code of the buffer's first character after a successful read.
  uint32_t FirstCharacter() const { return static_cast<unsigned char>(buffer_[0]); }

 private:
  LCID locale_;
  std::unique_ptr<char[]> buffer_;
};

void ApplyWindows() {
  _SetIntl(1);
  LocaleReader locale(GetUserDefaultLCID());

  SetDecimalSep(locale.Read(LOCALE_SDECIMAL) ? locale.FirstCharacter() : '.');
  SetThousandSep(locale.Read(LOCALE_STHOUSAND) ? locale.FirstCharacter() : ',');
  SetTimeSep(locale.Read(LOCALE_STIME) ? locale.FirstCharacter() : ':');
  std::optional<std::string> time_format = locale.Read(LOCALE_ITIME);
  SetAmPm((time_format ? DecimalNumber(*time_format) : 0) == 0);
  std::optional<std::string> am = locale.Read(LOCALE_S1159);
  SetAMExt(am ? " " + *am : " am");
  std::optional<std::string> pm = locale.Read(LOCALE_S2359);
  SetPMExt(pm ? " " + *pm : " pm");
  std::optional<std::string> order_text = locale.Read(LOCALE_IDATE);
  int order = order_text ? DecimalNumber(*order_text) : 0;
  std::string separator = "/";
  if (locale.Read(LOCALE_SDATE))
    separator = std::string(1, static_cast<char>(locale.FirstCharacter()));
  std::optional<std::string> pattern = locale.Read(LOCALE_SSHORTDATE);
  std::string short_date = pattern ? Upper(*pattern) : "mm/dd/yy";

  std::string year = short_date.find("YYYY") != std::string::npos ? "YYYY" : "YY";
  if (order == 1) {
    SetDateFrmt("DD" + separator + "MM" + separator + year);
  } else if (order == 2) {
    SetDateFrmt(year + separator + "MM" + separator + "DD");
  } else {
    SetDateFrmt("MM" + separator + "DD" + separator + year);
  }

  std::optional<std::string> digits = locale.Read(LOCALE_IDIGITS);
  SetDecimal(digits ? static_cast<uint32_t>(DecimalNumber(*digits)) : 2);
  _SetDict(1);
  SetCentury(true);
  SetEpoch(1910);
}

void ApplyFixed(uint32_t mode_number) {
  SetDecimalSep('.');
  SetThousandSep(',');
  SetTimeSep(':');
  SetAmPm(false);
  SetAMExt("");
  SetPMExt("");
  SetDateFrmt("MM/DD/YY");
  SetDecimal(2);
  _SetDict(mode_number);
  _SetIntl(mode_number);
  SetCentury(false);
}

// Puts the saved error block back however the applying ends.
class RestoreErrorBlock {
 public:
  explicit RestoreErrorBlock(Usual saved) : saved_(std::move(saved)) {}
  ~RestoreErrorBlock() { ErrorBlock(saved_); }
  RestoreErrorBlock(const RestoreErrorBlock&) = delete;
  RestoreErrorBlock& operator=(const RestoreErrorBlock&) = delete;

 private:
  Usual saved_;
};

}  // namespace

Symbol SetInternational(std::optional<Symbol> mode) {
  Activation activation("SETINTERNATIONAL", __LINE__);
  const Symbol windows("WINDOWS");
  const Symbol clipper("CLIPPER");
  const Symbol binary("BINARY");

  uint32_t stored = _SetIntl();
  Symbol previous = stored == 1 ? windows : stored == 2 ? binary : clipper;
  if (!mode) return previous;
  if (!(*mode == windows || *mode == clipper || *mode == binary)) {
    auto error = std::make_shared<Error>();
    error->SubSystem = "International";
    error->GenCode = EG_BADVALUE;
    error->CanDefault = true;
    error->Arg = Symbol2String(*mode);
    error->Throw();
    return previous;
  }

  RestoreErrorBlock restore(ErrorBlock());
  BeginSequence([&] {
    ErrorBlock(Usual::Block([](const Usual& error) -> Usual { LabelJump(error); }));
    if (*mode == windows) {
      ApplyWindows();
    } else {
      ApplyFixed(*mode == binary ? 2 : 0);
    }
  });
  return previous;
}

}  // namespace qef
