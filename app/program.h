#pragma once

#include <optional>
#include <string_view>

#include "runtime/startup.h"

namespace qef {

// Registers the program's classes and their methods: App with Start, WinProgress with its
// eight, the 22 icon classes and the error classes. False when one cannot be registered.
bool RegisterClasses(ClassRegistry& registry);

// The exportfix program: its classes and initialisation procedures, with resources looked up by
// `find_resource`.
Program ExportFixProgram(std::function<std::optional<std::string_view>(int, int)> find_resource);

}  // namespace qef
