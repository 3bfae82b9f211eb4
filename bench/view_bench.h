#pragma once

// "tcrate-bench view" times the view builder on the offscreen platform. It
// needs Qt, which tcrate-bench does without, so it is a program of its own,
// kept beside tcrate-bench, which hands the command over to it.
inline constexpr const char* kViewBenchProgram = "tcrate-bench-view";
