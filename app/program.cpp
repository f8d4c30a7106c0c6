#include "app/program.h"

#include "app/app.h"
#include "errorsys/def_error.h"
#include "errorsys/error.h"
#include "progress/win_progress.h"
#include "resources/icons.h"

namespace qef {

bool RegisterClasses(ClassRegistry& registry, const std::vector<std::string>& given_files) {
  auto start = [](Object& app) { static_cast<App&>(app).Start(); };
  auto cancel = [](Object& window) { static_cast<WinProgress&>(window).PBCancel(); };
  // Methods that take arguments are registered by name alone.
  return registry.Register(Symbol("App"),
                           [given_files] { return std::make_unique<App>(given_files); },
                           {{Symbol("Start"), start}}) &&
         registry.Register(Symbol("WinProgress"), [] { return std::make_unique<WinProgress>(); },
                           {{Symbol("PBCancel"), cancel},
                            {Symbol("Init"), nullptr},
                            {Symbol("Progress"), nullptr},
                            {Symbol("Task"), nullptr},
                            {Symbol("Description"), nullptr},
                            {Symbol("Dispatch"), nullptr},
                            {Symbol("PostInit"), nullptr},
                            {Symbol("PreInit"), nullptr}}) &&
         RegisterIconClasses(registry) &&
         // The error classes; Throw needs the object a raised error holds, so it is named only.
         registry.Register(Symbol("Error"), [] { return std::make_unique<Error>(); },
                           {{Symbol("Throw"), nullptr}}) &&
         registry.Register(Symbol("WCError"), [] { return std::make_unique<WCError>(); },
                           {{Symbol("Throw"), nullptr}});
}

Program ExportFixProgram(std::function<std::optional<std::string_view>(int, int)> find_resource,
                         std::vector<std::string> given_files) {
  Program program;
  program.find_resource = std::move(find_resource);
  program.register_classes = [given_files = std::move(given_files)](ClassRegistry& registry) {
    return RegisterClasses(registry, given_files);
  };
  // The window library's own procedures have nothing to prepare here.
  program.init_procedures[kErrorSystem] = ErrorSysInit;
  program.init_procedures[kErrorFunction] = ErrorFuncInit;
  return program;
}

}  // namespace qef
