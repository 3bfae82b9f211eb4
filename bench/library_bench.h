#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// "tcrate-bench library": classifying, saving, loading and looking up a
// library of N items held in memory, and its memory per item.
int RunLibraryBench(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
