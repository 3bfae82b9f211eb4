#pragma once

// "tcrate-bench edit" times the main window's commands that change the
// library on the offscreen platform, in a program of its own beside
// tcrate-bench.
inline constexpr const char* kEditBenchProgram = "tcrate-bench-edit";
