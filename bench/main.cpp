#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

#include "edit_bench.h"
#include "library_bench.h"
#include "scan_bench.h"
#include "search_bench.h"
#include "startup_bench.h"
#include "view_bench.h"

namespace {

// Runs a benchmark's own program, found beside this one, in place of this process.
int RunCompanion(const char* command, const char* program, const std::vector<std::string>& args, std::ostream& err) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::string path = (self.parent_path() / program).string();
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(path.c_str(), argv.data());
    err << "tcrate-bench " << command << ": cannot run " << path << " (" << std::strerror(errno)
        << "); it is built with the program (TCRATE_BUILD_GUI)\n";
    return 2;
}

struct TCommand {
    const char* name;
    // Runs here; or, without it, the program of that name beside this one does.
    int (*run)(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
    const char* program;
};

constexpr TCommand kCommands[] = {
    {"scan", RunScanBench, nullptr},
    {"library", RunLibraryBench, nullptr},
    {"view", nullptr, kViewBenchProgram},
    {"edit", nullptr, kEditBenchProgram},
    {"search", nullptr, kSearchBenchProgram},
    {"startup", nullptr, kStartupBenchProgram},
};

constexpr const char* kUsage =
    "usage: tcrate-bench COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  scan [--files N] [--json]     read the tags of a generated corpus of MP3 files\n"
    "  library [--items N] [--json]  load, classify, save and search a library of N items\n"
    "  view [--items N] [--json]     list boxes of N items for the track list (offscreen)\n"
    "  edit [--files N] [--json]     add a folder of N MP3 files, delete, paste and add to the\n"
    "                                favourites in the main window (offscreen)\n"
    "  search [--items N] [--json]   search N items and save and load them as playlists in the\n"
    "                                main window (offscreen)\n"
    "  startup [--items N] [--json]  start and close the main window over a library of N items\n"
    "                                (offscreen)\n"
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
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        if (c.run == nullptr) return RunCompanion(c.name, c.program, rest, std::cerr);
        // Caught here so that the temporary folders are removed on the way out.
        try {
            return c.run(rest, std::cout, std::cerr);
        } catch (const std::exception& e) {
            std::cerr << "tcrate-bench " << command << ": " << e.what() << '\n';
            return 1;
        }
    }
    std::cerr << "tcrate-bench: unknown command '" << command << "'\n" << kUsage;
    return 2;
}
