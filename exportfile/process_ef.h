#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qef {

class WinProgress;

inline constexpr char kDescriptionText[] = "Replacing invalid characters in App/Module names...";

// The repair run: for each file in list order, tests it, writes its repaired copy beside it and
// shows progress in the window. Returns the number of copies completed. The first failing file
// ends the run after its warning box; Cancel ends it after removing the copy under way.
uint32_t ProcessEF(const std::vector<std::string>& files, WinProgress& oWin);

}  // namespace qef
