#pragma once

#include <string>
#include <string_view>

namespace qef {

// How a terminal reads the bytes it is sent.
enum class TerminalEncoding {
  kUtf8,        // a UTF-8 locale: C1 controls are U+0080 to U+009F; bytes must form UTF-8
  kEightBit,    // another POSIX locale: bytes 0x80 to 0x9F may act as C1 controls
  kAnsiConsole  // a Windows console: bytes 0x80 and up are characters of the code page
};

// Text for a terminal from bytes of unknown origin (a path, a name): every control character
// (0x00 to 0x1F, 0x7F, and the C1 controls of the encoding) and, in UTF-8, every byte that is
// not part of a valid character, is shown as \xNN, so no byte sequence can move the cursor,
// retitle the window or run into the next line; on POSIX a backslash is shown as \\, so that
// an escape and the same characters in a name read differently (on Windows, where no name
// holds one, it stays the folder separator). Text without such bytes comes back unchanged.
// A "\r\n" pair stays a line break when `keep_line_breaks` is set (box texts use it).
std::string DisplayText(std::string_view bytes, TerminalEncoding encoding,
                        bool keep_line_breaks = false);

}  // namespace qef
