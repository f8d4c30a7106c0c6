#pragma once

// The directory listing with extended file information: for each entry that matches a path with
// wildcards and passes an attribute filter, one row of twelve values.

#include <cstdint>

#include "runtime/directory_search.h"
#include "runtime/usual.h"

namespace qef {

// Positions of a row, counted from 1.
inline constexpr size_t kRowName = 1;
inline constexpr size_t kRowSize = 2;
inline constexpr size_t kRowWriteDate = 3;
inline constexpr size_t kRowWriteTime = 4;
inline constexpr size_t kRowAttributes = 5;
inline constexpr size_t kRowAccessDate = 6;
inline constexpr size_t kRowAccessTime = 7;
inline constexpr size_t kRowCreationDate = 8;
inline constexpr size_t kRowCreationTime = 9;
inline constexpr size_t kRowShortName = 10;
inline constexpr size_t kRowAttributeBits = 11;
inline constexpr size_t kRowWriteSeconds = 12;
inline constexpr size_t kRowLength = 12;

// The six attributes that exclude an entry unless the filter holds them.
inline constexpr uint32_t kFilterableAttributes = 0xD16;

// The rows of the entries matching `path` that pass the filter `attributes` (a text of the
// letters D S H C O T in any case, or a number of attribute bits; anything else is no filter),
// in the order the search delivers them. Empty when nothing matches or the path is invalid.
Array ExtendedDirectory(const std::string& path, const Usual& attributes = Usual());

// One row: name (text), size (unsigned 64-bit), write date, write time text, attribute letters,
// access date and time text, creation date and time text, short name (the long name when there
// is none), attribute bits (DWORD), write time as seconds since local midnight (LONGINT).
Array ConvertFindData(const WIN32_FIND_DATAA& find_data);

// The letters C O T A D S H R of the set bits, in that order.
std::string DWAttribute2String(uint32_t attributes);

// The local date, time text and seconds since local midnight of a UTC file time. A time that
// cannot be converted gives the null date, an empty text and 0.
Array UTC2DateTime(const FILETIME& file_time);

// True when the entry has none of the six filterable attributes that the filter lacks.
bool FileAttributeOK(uint32_t filter, uint32_t attributes);

}  // namespace qef
