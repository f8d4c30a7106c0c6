#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/startup.h"

namespace qef {

// Registers the program's classes and their methods: App with Start, WinProgress with its
// eight, the 22 icon classes and the error classes. False when one cannot be registered. The
// application object is made with `given_files`, the files to repair instead of asking.
bool RegisterClasses(ClassRegistry& registry, const std::vector<std::string>& given_files = {});

// The exportfix program: its classes and initialisation procedures, with resources looked up by
// `find_resource`; `given_files` are the files named on its command line.
Program ExportFixProgram(std::function<std::optional<std::string_view>(int, int)> find_resource,
                         std::vector<std::string> given_files = {});

}  // namespace qef
