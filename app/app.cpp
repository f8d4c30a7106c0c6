#include "app/app.h"

#include <variant>

#include "app/app_texts.h"
#include "exportfile/process_ef.h"
#include "progress/win_progress.h"
#include "runtime/error_block.h"
#include "ui/window.h"

namespace qef {

App::App() = default;
App::App(std::vector<std::string> given_files) : given_files_(std::move(given_files)) {}
App::~App() = default;

App& App::Start() {
  Activation activation("APP:START", __LINE__);  // a level of the error box's call stack
  oWin_ = std::make_unique<WinProgress>();
  WinProgress& oWin = *oWin_;
  oWin.Caption(kAppTitle);
  oWin.Show();

  if (TextBox(&oWin, kAppTitle, kIntroText, MB_OKCANCEL | MB_ICONINFORMATION).Show() !=
      BOXREPLYOK) {
    return *this;
  }

  // Files given to the program take the place of the dialog.
  std::vector<std::string> files = given_files_;
  if (files.empty()) {
    OpenDialog dialog(&oWin, "*.AEF;*.MEF");
    dialog.Caption("Select Export Files to fix");
    dialog.SetStyle(OFN_ALLOWMULTISELECT);
    dialog.SetStyle(OFN_HIDEREADONLY);
    dialog.SetFilter({"*.AEF;*.MEF", "*.*"}, {"Export Files", "All files"}, 1);
    if (!dialog.Show()) return *this;

    auto chosen = dialog.FileName();
    if (auto* one = std::get_if<std::string>(&chosen)) {
      files.push_back(*one);
    } else {
      for (const std::string& path : std::get<std::vector<std::string>>(chosen)) {
        files.push_back(path);
      }
    }
  }

  uint32_t fixed = ProcessEF(files, oWin);
  InfoBox(&oWin, kAppTitle, FinalMessage(fixed)).Show();
  return *this;
}

}  // namespace qef
