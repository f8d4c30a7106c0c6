// Writes the progress window's dialog template, byte for byte, for the resource script: the
// resource compiler would store the predefined window classes as names instead of their
// ordinals, and upper-case the others.
//
// Usage: make_dialog_template OUT.dlg
//
// The extended dialog template (DLGTEMPLATEEX), all numbers little-endian:
//   - version 1 (16 bits), signature 0xFFFF (16 bits), help id, extended style, style (32 bits
//     each), number of controls (16 bits), x, y, width, height (16 bits each, dialog units);
//   - menu, window class: 0x0000 each (none, the system dialog class);
//   - title: UTF-16 text ended by 0x0000;
//   - with DS_SETFONT: point size, weight (16 bits each), italic, character set (8 bits each),
//     face name as UTF-16 text ended by 0x0000;
//   - then each control, starting on a 32-bit boundary: help id, extended style, style (32 bits
//     each), x, y, width, height (16 bits each), id (32 bits), window class (0xFFFF and a
//     predefined class number, or UTF-16 text), text (UTF-16), size of the creation data
//     (16 bits, 0 here).

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "ui/progress_window_ids.h"

namespace {

class Template {
 public:
  void Word(uint32_t value) {
    bytes_.push_back(static_cast<char>(value & 0xFF));
    bytes_.push_back(static_cast<char>((value >> 8) & 0xFF));
  }
  void Dword(uint32_t value) {
    Word(value & 0xFFFF);
    Word(value >> 16);
  }
  void Byte(uint8_t value) { bytes_.push_back(static_cast<char>(value)); }
  void Text(const std::string& text) {
    for (char c : text) Word(static_cast<uint8_t>(c));
    Word(0);
  }
  void AlignToDword() {
    while (bytes_.size() % 4 != 0) Byte(0);
  }
  const std::vector<char>& bytes() const { return bytes_; }

 private:
  std::vector<char> bytes_;
};

struct Control {
  uint32_t ex_style;
  uint32_t style;
  int x, y, width, height;
  uint32_t id;
  uint16_t predefined_class;  // 0 when the class is named
  const char* class_name;
  const char* text;
};

constexpr uint16_t kButtonClass = 0x0080;
constexpr uint16_t kStaticClass = 0x0082;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_dialog_template OUT.dlg\n");
    return 2;
  }
  const Control controls[] = {
      {0, 0x50010000, 122, 60, 53, 12, qef::kCancelButtonId, kButtonClass, nullptr, "&Cancel"},
      {0x00020000, 0x50000000, 6, 45, 280, 8, qef::kProgressBarId, 0, "msctls_progress32", ""},
      {0, 0x50000001, 58, 27, 230, 12, qef::kTaskId, kStaticClass, nullptr, ""},
      {0, 0x50000001, 58, 4, 229, 21, qef::kDescriptionId, kStaticClass, nullptr, ""},
      {0, 0x50000002, 4, 2, 53, 36, qef::kAnimationId, 0, "SysAnimate32", ""},
  };

  Template dialog;
  dialog.Word(1);
  dialog.Word(0xFFFF);
  dialog.Dword(0);           // help id
  dialog.Dword(0);           // extended style
  dialog.Dword(0x80C80844);  // WS_POPUP WS_CAPTION WS_SYSMENU DS_CENTER DS_SETFONT DS_3DLOOK
  dialog.Word(sizeof controls / sizeof controls[0]);
  for (int value : {4, 16, 295, 79}) dialog.Word(static_cast<uint16_t>(value));
  dialog.Word(0);  // no menu
  dialog.Word(0);  // the system dialog class
  dialog.Text("Quillon Pack");
  dialog.Word(8);  // points
  dialog.Word(0);  // weight
  dialog.Byte(0);  // not italic
  dialog.Byte(1);  // character set
  dialog.Text("MS Sans Serif");
  for (const Control& control : controls) {
    dialog.AlignToDword();
    dialog.Dword(0);  // help id
    dialog.Dword(control.ex_style);
    dialog.Dword(control.style);
    for (int value : {control.x, control.y, control.width, control.height}) {
      dialog.Word(static_cast<uint16_t>(value));
    }
    dialog.Dword(control.id);
    if (control.predefined_class != 0) {
      dialog.Word(0xFFFF);
      dialog.Word(control.predefined_class);
    } else {
      dialog.Text(control.class_name);
    }
    dialog.Text(control.text);
    dialog.Word(0);  // no creation data
  }

  std::ofstream out(argv[1], std::ios::binary);
  out.write(dialog.bytes().data(), static_cast<std::streamsize>(dialog.bytes().size()));
  return out ? 0 : 1;
}
