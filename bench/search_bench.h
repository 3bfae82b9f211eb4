#pragma once

// "tcrate-bench search" times the search window and the playlist files on
// the offscreen platform, in a program of its own beside tcrate-bench.
inline constexpr const char* kSearchBenchProgram = "tcrate-bench-search";
