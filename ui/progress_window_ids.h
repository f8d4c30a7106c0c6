#pragma once

// Control ids of the dialog template "WinProgress": the progress window asks for its controls by
// them, the dialog template is generated with them, and the text front ends, which draw that
// window themselves, tell its lines apart by them.

namespace qef {

inline constexpr int kCancelButtonId = 100;
inline constexpr int kProgressBarId = 101;
inline constexpr int kTaskId = 102;
inline constexpr int kDescriptionId = 103;
inline constexpr int kAnimationId = 104;

}  // namespace qef
