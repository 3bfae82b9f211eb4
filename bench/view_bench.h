#pragma once

// "tcrate-bench view" times the view builder on the offscreen platform, in a
// program of its own beside tcrate-bench.
inline constexpr const char* kViewBenchProgram = "tcrate-bench-view";
