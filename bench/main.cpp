#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "library_bench.h"
#include "scan_bench.h"

namespace {

struct TCommand {
    const char* name;
    int (*run)(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
};

constexpr TCommand kCommands[] = {
    {"scan", RunScanBench},
    {"library", RunLibraryBench},
};

constexpr const char* kUsage =
    "usage: tcrate-bench COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  scan [--files N] [--json]     read the tags of a generated corpus of MP3 files\n"
    "  library [--items N] [--json]  load, classify, save and search a library of N items\n"
    "\n"
    "Run 'tcrate-bench COMMAND --help' for a command's details.\n";

} // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string& command = args.front();
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kUsage;
        return 0;
    }
    for (const TCommand& c : kCommands) {
        if (command != c.name) continue;
        // Caught here so that the temporary folders are removed on the way out.
        try {
            return c.run(std::vector<std::string>(args.begin() + 1, args.end()), std::cout, std::cerr);
        } catch (const std::exception& e) {
            std::cerr << "tcrate-bench " << command << ": " << e.what() << '\n';
            return 1;
        }
    }
    std::cerr << "tcrate-bench: unknown command '" << command << "'\n" << kUsage;
    return 2;
}
