#include "app/app_texts.h"

namespace qef {

std::string CountSentence(uint32_t fixed) {
  if (fixed == 0) return "";
  if (fixed == 1) return "1 .FIX file was successfully written.";
  return std::to_string(fixed) + " .FIX files were successfully written.";
}

std::string FinalMessage(uint32_t fixed) {
  return "Finished!\r\n\r\n" + CountSentence(fixed) + "\r\n\r\n" + kClosingLine;
}

}  // namespace qef
