#pragma once

#include <memory>
#include <string>
#include <vector>

#include "runtime/object.h"

namespace qef {

class WinProgress;

// The application object. Start is the whole visible life of the utility: the progress window,
// the intro box, the file dialog, the repair run and the final box. Files given to the program
// (dropped on its icon) take the place of the file dialog.
class App : public Object {
 public:
  App();
  explicit App(std::vector<std::string> given_files);
  ~App();
  App& Start();
  // The progress window, once Start has made it; it stays shown until the process ends.
  WinProgress* ProgressWindow() const { return oWin_.get(); }

 private:
  std::unique_ptr<WinProgress> oWin_;
  std::vector<std::string> given_files_;
};

}  // namespace qef
