#pragma once

#include <optional>
#include <string>

// A second, deliberately plain model of what the repair writes, kept apart from the real code so
// that the two can be compared byte for byte. Written for clarity, not speed.
namespace qef::testing {

// The Bad and Good strings in force when the setting is absent or blank.
inline constexpr char kDefaultBad[] = ":/\\*\"'?|<>";
inline constexpr char kDefaultGood[] = "----------";

// The stored value, or `fallback` when it is absent, empty or only spaces, tabs, CR and LF.
// Anything else counts byte for byte, spaces and zero bytes included.
std::string EffectiveSetting(const std::optional<std::string>& stored, const std::string& fallback);

// True when the file passes the test for an uncompressed export file: at least 50 bytes,
// "Export File" within the first 50, 0x80 at offset 6.
bool IsAcceptedExportFile(const std::string& input);

// The bytes of the repaired copy of an accepted export file, for the effective Bad and Good
// strings (defaults already in place). With `strict_names`, the strict repair: application and
// module names that Windows rejects are mended, and module names are kept distinct as another
// reader compares them (the bytes before the first zero byte, accented letters folded too).
std::string ReferenceRepair(const std::string& input, const std::string& bad,
                            const std::string& good, bool strict_names = false);

}  // namespace qef::testing
