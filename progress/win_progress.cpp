#include "progress/win_progress.h"

#include "resources/icons.h"
#include "runtime/error_block.h"

namespace qef {

WinProgress::WinProgress(Window* owner, const std::any& extra) {
  Activation activation("WINPROGRESS:INIT", __LINE__);  // levels of the error box's call stack
  PreInit(owner, extra);
  DialogWindow::Init(owner, ResourceID("WinProgress", _GetInst()), false);

  qef::Font task_font(0, 10, "MS Sans Serif");
  task_font.Bold(true);

  oCCPBCancel = std::make_unique<PushButton>(this, ResourceID(kCancelButtonId, _GetInst()));
  oCCPBCancel->HyperLabel(qef::HyperLabel(Symbol("PBCancel"), "&Cancel", "", ""));

  oDCProgress = std::make_unique<ProgressBar>(this, ResourceID(kProgressBarId, _GetInst()));
  oDCProgress->HyperLabel(qef::HyperLabel(Symbol("Progress"), "", "", ""));

  oDCTask = std::make_unique<FixedText>(this, ResourceID(kTaskId, _GetInst()));
  oDCTask->HyperLabel(qef::HyperLabel(Symbol("Task"), "", "", ""));
  oDCTask->Font(task_font, false);

  oDCDescription = std::make_unique<FixedText>(this, ResourceID(kDescriptionId, _GetInst()));
  oDCDescription->HyperLabel(qef::HyperLabel(Symbol("Description"), "", "", ""));

  oDCAnimation1 = std::make_unique<AnimationControl>(this, ResourceID(kAnimationId, _GetInst()));
  oDCAnimation1->HyperLabel(qef::HyperLabel(Symbol("Animation1"), "", "", ""));
  oDCAnimation1->OpenResource(*AVI);

  Caption("Quillon Pack");
  HyperLabel(qef::HyperLabel(Symbol("WinProgress"), "Quillon Pack", "", ""));

  Icon(AICOZEMB());
  IconSm(AICOZEMB());

  PostInit(owner, extra);
}

WinProgress& WinProgress::PBCancel() {
  Activation activation("WINPROGRESS:PBCANCEL", __LINE__);
  lAbort = true;
  return *this;
}

intptr_t WinProgress::Dispatch(const Event& event) {
  Activation activation("WINPROGRESS:DISPATCH", __LINE__);
  if (event.Message() == WM_COMMAND && event.wParam() == IDCANCEL) PBCancel();
  return DialogWindow::Dispatch(event);
}

void WinProgress::PostInit(Window* /*owner*/, const std::any& /*extra*/) { oDCAnimation1->Play(); }

void WinProgress::PreInit(Window* /*owner*/, const std::any& /*extra*/) {
  AVI = ResourceID("QSPIN", _GetInst());
}

bool WinProgress::CallMethod(const Symbol& method) {
  if (method == Symbol("PBCancel")) {
    PBCancel();
    return true;
  }
  return DialogWindow::CallMethod(method);
}

}  // namespace qef
