#include "fsutil/extended_directory.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "runtime/directory_functions.h"
#include "runtime/international.h"

namespace qef {

namespace {

uint32_t FilterBits(const Usual& attributes) {
  uint32_t bits = 0;
  switch (attributes.Type()) {
    case STRING:
      for (char letter : attributes.AsText()) {
        switch (std::toupper(static_cast<unsigned char>(letter))) {
          case 'D':
            bits |= FILE_ATTRIBUTE_DIRECTORY;
            break;
          case 'S':
            bits |= FILE_ATTRIBUTE_SYSTEM;
            break;
          case 'H':
            bits |= FILE_ATTRIBUTE_HIDDEN;
            break;
          case 'C':
            bits |= FILE_ATTRIBUTE_COMPRESSED;
            break;
          case 'O':
            bits |= FILE_ATTRIBUTE_REPARSE_POINT;
            break;
          case 'T':
            bits |= FILE_ATTRIBUTE_TEMPORARY;
            break;
          default:
            break;
        }
      }
      return bits;
    case DWORD:
      return attributes.AsDword();
    case LONGINT:
      // Taken bit for bit, as the run-time converts a number to attribute bits.
      return static_cast<uint32_t>(attributes.AsLong());
    case UINT64:
      return static_cast<uint32_t>(attributes.AsUint64());
    case FLOAT: {
      // The whole part, bit for bit; a value no integer can hold is no filter.
      const double value = std::trunc(attributes.AsFloat());
      if (!(std::fabs(value) < 9.2e18)) return 0;
      return static_cast<uint32_t>(static_cast<int64_t>(value));
    }
    default:
      return 0;
  }
}

// A name field of the find-data record up to its NUL, or its whole length without one.
std::string FieldText(const char* field, size_t size) {
  return std::string(field, std::find(field, field + size, '\0'));
}

}  // namespace

Array ExtendedDirectory(const std::string& path, const Usual& attributes) {
  Array list;
  const uint32_t filter = FilterBits(attributes);
  WIN32_FIND_DATAA find_data;
  HANDLE search = FindFirstFileA(path.c_str(), &find_data);
  if (search == INVALID_HANDLE_VALUE) return list;
  do {
    Array row = ConvertFindData(find_data);
    if (FileAttributeOK(filter, row[kRowAttributeBits - 1].AsDword())) {
      list.push_back(Usual::Arr(std::move(row)));
    }
  } while (FindNextFileA(search, &find_data));
  FindClose(search);
  return list;
}

Array ConvertFindData(const WIN32_FIND_DATAA& find_data) {
  Array row(kRowLength);
  row[kRowName - 1] = Usual::String(FieldText(find_data.cFileName, sizeof find_data.cFileName));
  row[kRowAttributes - 1] = Usual::String(DWAttribute2String(find_data.dwFileAttributes));
  row[kRowSize - 1] =
      Usual::Uint64(uint64_t{find_data.nFileSizeHigh} << 32 | find_data.nFileSizeLow);
  row[kRowAttributeBits - 1] = Usual::Dword(find_data.dwFileAttributes);

  Array written = UTC2DateTime(find_data.ftLastWriteTime);
  row[kRowWriteDate - 1] = written[0];
  row[kRowWriteTime - 1] = written[1];
  row[kRowWriteSeconds - 1] = written[2];
  Array created = UTC2DateTime(find_data.ftCreationTime);
  row[kRowCreationDate - 1] = created[0];
  row[kRowCreationTime - 1] = created[1];
  Array accessed = UTC2DateTime(find_data.ftLastAccessTime);
  row[kRowAccessDate - 1] = accessed[0];
  row[kRowAccessTime - 1] = accessed[1];

  std::string short_name =
      FieldText(find_data.cAlternateFileName, sizeof find_data.cAlternateFileName);
  row[kRowShortName - 1] =
      short_name.empty() ? row[kRowName - 1] : Usual::String(std::move(short_name));
  return row;
}

std::string DWAttribute2String(uint32_t attributes) {
  static constexpr struct {
    uint32_t bit;
    char letter;
  } kLetters[] = {{FILE_ATTRIBUTE_COMPRESSED, 'C'}, {FILE_ATTRIBUTE_REPARSE_POINT, 'O'},
                  {FILE_ATTRIBUTE_TEMPORARY, 'T'},  {FILE_ATTRIBUTE_ARCHIVE, 'A'},
                  {FILE_ATTRIBUTE_DIRECTORY, 'D'},  {FILE_ATTRIBUTE_SYSTEM, 'S'},
                  {FILE_ATTRIBUTE_HIDDEN, 'H'},     {FILE_ATTRIBUTE_READONLY, 'R'}};
  std::string text;
  for (const auto& entry : kLetters) {
    if ((attributes & entry.bit) != 0) text += entry.letter;
  }
  return text;
}

Array UTC2DateTime(const FILETIME& file_time) {
  FILETIME local_time;
  SYSTEMTIME system_time;
  // Where Windows cannot convert, the values would be undefined; they are made empty instead.
  if (!FileTimeToLocalFileTime(&file_time, &local_time) ||
      !FileTimeToSystemTime(&local_time, &system_time)) {
    return {Usual::DateValue(Date{0, 0, 0}), Usual::String(""), Usual::Long(0)};
  }
  const Date date{system_time.wYear, system_time.wMonth, system_time.wDay};
  const int32_t seconds = system_time.wHour * 3600 + system_time.wMinute * 60 + system_time.wSecond;
  return {Usual::DateValue(date), Usual::String(TString(static_cast<uint32_t>(seconds))),
          Usual::Long(seconds)};
}

bool FileAttributeOK(uint32_t filter, uint32_t attributes) {
  // Checked one by one in the documented order; the first missing one excludes the entry.
  static constexpr uint32_t kOrder[] = {FILE_ATTRIBUTE_DIRECTORY,     FILE_ATTRIBUTE_SYSTEM,
                                        FILE_ATTRIBUTE_HIDDEN,        FILE_ATTRIBUTE_COMPRESSED,
                                        FILE_ATTRIBUTE_REPARSE_POINT, FILE_ATTRIBUTE_TEMPORARY};
  for (uint32_t bit : kOrder) {
    if ((attributes & bit) != 0 && (filter & bit) == 0) return false;
  }
  return true;
}

}  // namespace qef
