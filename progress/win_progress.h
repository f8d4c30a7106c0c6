#pragma once

#include <any>
#include <memory>
#include <optional>
#include <string>

#include "ui/progress_window_ids.h"
#include "ui/window.h"

namespace qef {

// The modeless progress window: animation, description, task line, progress bar and a Cancel
// button that sets lAbort. It never closes itself; it lives until the process ends.
class WinProgress : public DialogWindow {
 public:
  // Init: builds the window from its template, invisible, with the animation playing.
  explicit WinProgress(Window* owner = nullptr, const std::any& extra = {});

  WinProgress& PBCancel();
  ProgressBar& Progress() { return *oDCProgress; }
  void Task(const std::string& text) { oDCTask->TextValue(text); }
  void Description(const std::string& text) { oDCDescription->TextValue(text); }
  // The cancel command (Escape, the close box) becomes PBCancel; every event then goes on to the
  // base dialog.
  intptr_t Dispatch(const Event& event) override;
  void PostInit(Window* owner, const std::any& extra);
  void PreInit(Window* owner, const std::any& extra);

  bool CallMethod(const Symbol& method) override;

 private:
  std::unique_ptr<PushButton> oCCPBCancel;
  std::unique_ptr<ProgressBar> oDCProgress;
  std::unique_ptr<FixedText> oDCTask;
  std::unique_ptr<FixedText> oDCDescription;
  std::unique_ptr<AnimationControl> oDCAnimation1;

 public:
  // True once the user asked to cancel; never set back.
  bool lAbort = false;

 private:
  std::optional<ResourceID> AVI;
};

}  // namespace qef
