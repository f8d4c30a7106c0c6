#pragma once

// The run-time's text-line file functions and the folder settings the error log follows.

#include <cstdint>
#include <string>

#include "runtime/file_functions.h"

namespace qef {

// The run-time's code for a path whose folder does not exist.
inline constexpr int kErrorPathNotFound = 3;
inline constexpr uint32_t FC_ARCHIVED = 0x20;

FHandle FOpen2(const std::string& path, uint32_t mode);
// Creates the file; a missing folder is reported by FError as kErrorPathNotFound whatever the
// backend's own code for it.
FHandle FCreate2(const std::string& path, uint32_t attributes);
int64_t FSeek3(FHandle handle, int64_t offset, int origin);
// Writes the text and CR LF; returns the number of bytes written.
size_t FPutS(FHandle handle, const std::string& text);
// Writes the first `count` characters of the text and CR LF.
size_t FPutS3(FHandle handle, const std::string& text, size_t count);
// Writes the value as eight hexadecimal digits into `out`, which holds eight characters.
void _Hex(uint32_t value, char* out);

std::string GetDefaultDir();
void SetDefaultDir(const std::string& folder);  // empty clears it
std::string GetDefault();
void SetDefault(const std::string& folder);  // empty clears it
// The run-time's working folder, ending in a separator: the default folder when one is set,
// else the default setting, else the folder the program's backend chose.
std::string WorkDir();

}  // namespace qef
