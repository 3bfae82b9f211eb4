#include "tools/inspect.h"

#include <cerrno>
#include <cstring>
#include <ostream>
#include <unistd.h>

#include "core/paths.h"

namespace {

constexpr const char* kUsage =
    "usage: tcrate-inspect COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  read [--data-dir DIR] PATH...   print the values Tunecrate reads from audio files\n"
    "  scan FOLDER                     list the audio files Tunecrate finds below a folder\n"
    "  db FILE                         print what a library database holds\n"
    "  tag [--data-dir DIR] FILE NAME=VALUE...\n"
    "                                  set values and write an audio file's tags\n"
    "  play [--output MODULE] [--seconds S] FILE\n"
    "                                  play a file and print what the player reports\n"
    "\n"
    "Run 'tcrate-inspect COMMAND --help' for a command's details.\n";

// Runs the play program beside this one in place of this process.
int RunPlayProgram(const std::vector<std::string>& args, std::ostream& err) {
    const std::string path = ProgramFolder() + kInspectPlayProgram;
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(path.c_str(), argv.data());
    err << "tcrate-inspect play: cannot run " << path << " (" << std::strerror(errno) << ")\n";
    return 1;
}

} // namespace

int RunInspect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kUsage;
        return 2;
    }
    const std::string& command = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
        return 0;
    }
    if (command == "read") return InspectRead(rest, out, err);
    if (command == "scan") return InspectScan(rest, out, err);
    if (command == "db") return InspectDb(rest, out, err);
    if (command == "tag") return InspectTag(rest, out, err);
    if (command == "play") return RunPlayProgram(rest, err);
    err << "tcrate-inspect: unknown command '" << command << "'\n" << kUsage;
    return 2;
}
