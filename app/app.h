#pragma once

#include <memory>

#include "runtime/object.h"

namespace qef {

class WinProgress;

// The application object. Start is the whole visible life of the utility: the progress window,
// the intro box, the file dialog, the repair run and the final box.
class App : public Object {
 public:
  App();
  ~App();
  App& Start();
  // The progress window, once Start has made it; it stays shown until the process ends.
  WinProgress* ProgressWindow() const { return oWin_.get(); }

 private:
  std::unique_ptr<WinProgress> oWin_;
};

}  // namespace qef
