#pragma once

#include <cstdint>
#include <string>

namespace qef {

inline constexpr char kAppTitle[] = "Quillon Export File Fix v1.1";

inline constexpr char kIntroText[] =
    "The CA-VO 2.5 version control features can experience problems if some invalid characters "
    "are used in application or module names. \r\n\r\nThis program will replace invalid "
    "characters in AEFs/MEFs with valid characters.\r\n\r\nAfter you press OK on this window "
    "you will be able to select the files you want to correct. The fixed files will be written "
    "with a '.FIX' extension. (Any existing *.FIX files will be overwritten).";

// The last line of the final box: where to find more of the publisher's tools.
inline constexpr char kClosingLine[] = "Visit www.quillon.example for further tools and utilities.";

// "1 .FIX file was successfully written." and the like; empty for no file.
std::string CountSentence(uint32_t fixed);

// "Finished!", the count sentence and the closing line, in paragraphs.
std::string FinalMessage(uint32_t fixed);

}  // namespace qef
