#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

// The options every benchmark takes: a count ("--files N", "--items N") and
// "--json".
struct TBenchOptions {
    int count = 0;
    bool json = false;
    bool help = false;
};

// Prints the usage to out for "--help", and to err with what was wrong for
// bad arguments (then none).
std::optional<TBenchOptions> ParseBenchOptions(const std::vector<std::string>& args, const std::string& command,
                                               const std::string& countFlag, int defaultCount, int maxCount,
                                               const char* usage, std::ostream& out, std::ostream& err);
