#include "platform/locale_text.h"

#include <cstring>

namespace qef {

int CopyLocaleText(const char* text, char* buffer, int size) {
  size_t length = std::strlen(text);
  if (buffer == nullptr || size <= 0 || length + 1 > static_cast<size_t>(size)) return 0;
  std::memcpy(buffer, text, length + 1);
  return static_cast<int>(length + 1);
}

}  // namespace qef
