#pragma once

// What the run-time keeps between calls besides the backends: the international settings, the
// error block and error function, the settings of the error system and the exit code.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "runtime/usual.h"

namespace qef {

class DirectorySearch;
class LocaleSource;

struct InternationalSettings {
  uint32_t decimal_sep = '.';
  uint32_t thousand_sep = ',';
  uint32_t time_sep = ':';
  bool am_pm = false;
  std::string am_ext;
  std::string pm_ext;
  std::string date_format = "MM/DD/YY";
  uint32_t decimal = 2;
  uint32_t dict = 0;
  uint32_t intl = 0;
  bool century = false;
  uint32_t epoch = 1900;
};

struct LocalDateTime {
  int year = 1900;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

struct InternalError {
  uint32_t code;
  uint32_t sub_code;
  std::string text;
};

struct RuntimeState {
  InternationalSettings international;

  Usual error_block;  // NIL until one is installed
  std::function<Usual(const Usual&)> error_func;
  int recovery_points = 0;
  int handlers_running = 0;

  bool beep = true;
  bool error_log = true;
  bool net_err = false;
  int exit_code = 0;
  int math_resets = 0;
  std::vector<InternalError> internal_errors;

  std::string default_dir;
  std::string default_setting;

  // What the backends given at start-up chose (see Backends).
  LocaleSource* locale = nullptr;
  DirectorySearch* directory_search = nullptr;
  std::function<std::string()> base_work_dir = [] { return std::string(); };
  uintptr_t module_instance = 0;
  std::function<LocalDateTime()> clock;  // the local clock when empty
  std::string version = "Quillon run-time 1.1";
};

}  // namespace qef
