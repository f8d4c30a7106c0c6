#pragma once

#include "platform/window.h"

namespace qef {

// The program's emblem, the progress window's large and small icon.
class AICOZEMB : public Icon {
 public:
  AICOZEMB() : Icon(ResourceID("AICOZEMB", _GetInst())) {}
};

}  // namespace qef
