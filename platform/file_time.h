#pragma once

// For the directory-search backends.

#include "runtime/directory_search.h"

namespace qef {

// Windows' calendar arithmetic of FileTimeToSystemTime, without any time zone: false (and the
// result untouched) for values of 2^63 and above, as Windows refuses them. Backends answer
// FileTimeToSystemTime with it.
bool FileTimeToCalendar(const FILETIME& time, SYSTEMTIME* result);

}  // namespace qef
