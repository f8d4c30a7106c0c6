#pragma once

// The user's locale as the run-time's international settings read it: the two calls Windows
// offers for it, by the same shape and item numbers, so a backend answers exactly what
// GetUserDefaultLCID and GetLocaleInfoA would.

#include <cstdint>

namespace qef {

using LCID = uint32_t;

// The locale items the international settings read.
inline constexpr uint32_t LOCALE_SDECIMAL = 0x0E;
inline constexpr uint32_t LOCALE_STHOUSAND = 0x0F;
inline constexpr uint32_t LOCALE_IDIGITS = 0x11;
inline constexpr uint32_t LOCALE_SDATE = 0x1D;
inline constexpr uint32_t LOCALE_STIME = 0x1E;
inline constexpr uint32_t LOCALE_SSHORTDATE = 0x1F;
inline constexpr uint32_t LOCALE_IDATE = 0x21;
inline constexpr uint32_t LOCALE_ITIME = 0x23;
inline constexpr uint32_t LOCALE_S1159 = 0x28;
inline constexpr uint32_t LOCALE_S2359 = 0x29;

inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;

// Contract of GetLocaleInfoA: writes the item's text and a terminating NUL into `buffer` and
// returns the number of characters written, the NUL included; returns 0 when the item is
// unknown or the text and its NUL do not fit in `size` characters (the buffer's contents are
// then unspecified).
class LocaleSource {
 public:
  virtual ~LocaleSource() = default;
  virtual LCID GetUserDefaultLCID() = 0;
  virtual int GetLocaleInfoA(LCID locale, uint32_t item, char* buffer, int size) = 0;
};

}  // namespace qef
