#include "options.h"

#include <charconv>
#include <ostream>

std::optional<TBenchOptions> ParseBenchOptions(const std::vector<std::string>& args, const std::string& command,
                                               const std::string& countFlag, int defaultCount, int maxCount,
                                               const char* usage, std::ostream& out, std::ostream& err) {
    TBenchOptions options;
    options.count = defaultCount;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == countFlag) {
            const std::string value = i + 1 < args.size() ? args[++i] : std::string();
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), options.count);
            if (ec != std::errc() || end != value.data() + value.size() || options.count < 1 || options.count > maxCount) {
                err << "tcrate-bench " << command << ": " << countFlag << " takes a number from 1 to " << maxCount
                    << ", not '" << value << "'\n"
                    << usage;
                return std::nullopt;
            }
        } else {
            err << "tcrate-bench " << command << ": unexpected argument '" << arg << "'\n" << usage;
            return std::nullopt;
        }
    }
    if (options.help) out << usage;
    return options;
}
