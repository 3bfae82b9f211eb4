#pragma once

// "tcrate-bench startup" times the main window's start and shut-down over a
// large library on the offscreen platform, in a program of its own beside
// tcrate-bench.
inline constexpr const char* kStartupBenchProgram = "tcrate-bench-startup";
