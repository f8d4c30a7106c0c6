#pragma once

// Windows rejects more file names than those holding a Bad character, and the version control
// writes application and module names as file names. These rules find the rest, and the strict
// repair mends them without changing a name's length:
//   - a control character (0x01 to 0x1F): becomes "-";
//   - a reserved device name (CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9, COM and LPT with the
//     superscript digits 0xB9, 0xB2, 0xB3), in any letter case, as the whole part before the
//     first ".": its last byte becomes "-" (CON gives CO-, con.prg gives co-.prg);
//   - a trailing run of "." and blanks: each of its bytes becomes "-".
// An empty name is invalid too and cannot be mended.

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace qef {

// The name in a name record's body: the bytes before its first zero byte, all of them without.
inline size_t NameLength(std::string_view body) { return std::min(body.find('\0'), body.size()); }

// Why the name is no valid file name: one reason per rule it breaks, in the order above, joined
// by "; " (for example "reserved device name CON; ends in \".\""); positions count from 0. Empty
// when the name is valid.
std::string InvalidNameReason(std::string_view name);

// The strict repair's steps, each in place and in this order.
void ReplaceControlCharacters(char* name, size_t size);
void BreakReservedDeviceName(char* name, size_t size);
void ReplaceTrailingDotsAndBlanks(char* name, size_t size);
// All three on the name part of a body.
void StrictRepairName(std::string& body);

// Other programs read export files too. A migration tool's reader takes a module's name as the
// body up to its first zero byte (NameLength) and folds letter case through the ANSI code page
// (Windows-1252): a-z, and 0xE0-0xFE but 0xF7, match the byte 0x20 below; 0x9A/0x8A, 0x9C/0x8C,
// 0x9E/0x8E and 0xFF/0x9F are pairs too. Two modules of one name for it are two files of one
// name for the version control. Digits do not fold, so a counter written over a folded name
// gives the folded candidate.
char FoldLetterCase(char c);
// The name part of a body as that reader compares it: its letters folded to upper case.
std::string ReaderNameKey(std::string_view body);

}  // namespace qef
