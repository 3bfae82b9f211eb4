#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// "tcrate-bench scan": files per second of reading the tags of a generated
// corpus, against the bare file reads it needs and against TagLib.
int RunScanBench(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
