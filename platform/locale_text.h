#pragma once

// For the locale backends.

namespace qef {

// Copies `text` and its NUL as GetLocaleInfoA does.
int CopyLocaleText(const char* text, char* buffer, int size);

}  // namespace qef
