#include <memory>
#include <ostream>
#include <sys/stat.h>

#include "core/helpers.h"
#include "core/paths.h"
#include "core/plugins.h"
#include "core/sysinfo.h"
#include "media/mediaenv.h"
#include "media/mobj.h"
#include "tools/inspect.h"
#include "tools/datafolder.h"

namespace {

constexpr const char* kReadHelp =
    "usage: tcrate-inspect read [--data-dir DIR] [--codepage NAME] PATH...\n"
    "\n"
    "Reads each audio file (a folder is scanned for .mp3 and .mp2 files) the way\n"
    "Tunecrate adds it to its library, and prints '== FILE' followed by the\n"
    "item's values as name=value lines.\n"
    "\n"
    "  --data-dir DIR   write the pictures found in tags to DIR/picture/\n"
    "                   (default: a temporary folder, removed afterwards)\n"
    "  --codepage NAME  code page of tag text that is not UTF-8 (default GB18030)\n"
    "\n"
    "Exit status: 0 when every file was read, 1 when any could not be, 2 for bad\n"
    "arguments.\n";

constexpr const char* kScanHelp =
    "usage: tcrate-inspect scan FOLDER\n"
    "\n"
    "Prints the audio files Tunecrate's add-folder command finds below FOLDER,\n"
    "one path a line, in the order it adds them.\n";

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void PrintValues(const std::string& text, std::ostream& out) {
    for (char c : text)
        if (c != '\r') out << c;
}

} // namespace

int InspectRead(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string dataDir;
    std::string codepage(kDefaultTagsCodepage);
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            out << kReadHelp;
            return 0;
        }
        if ((arg == "--data-dir" || arg == "--codepage") && i + 1 < args.size()) {
            (arg == "--data-dir" ? dataDir : codepage) = args[++i];
        } else if (arg.rfind("--", 0) == 0) {
            err << "tcrate-inspect read: unknown or incomplete option '" << arg << "'\n" << kReadHelp;
            return 2;
        } else {
            paths.push_back(arg);
        }
    }
    if (paths.empty()) {
        err << kReadHelp;
        return 2;
    }

    const TDataFolder data(dataDir);
    if (data.Path().empty()) {
        err << "tcrate-inspect read: cannot create a temporary folder\n";
        return 1;
    }
    TMediaEnvironment env(data.Path(), codepage);
    const TPlugIns registry(env);

    std::vector<std::string> files;
    for (const std::string& path : paths) {
        if (IsFolder(path)) {
            ScanFolder(files, WithTrailingSlash(path), registry);
        } else {
            files.push_back(path);
        }
    }

    int status = 0;
    for (const std::string& file : files) {
        out << "== " << file << '\n';
        const std::unique_ptr<TMObj> item = registry.CreateItemFor(FileExtension(file));
        if (!item) {
            err << file << ": not an audio file Tunecrate reads\n";
            status = 1;
            continue;
        }
        if (item->LoadFromFile(file) != 0) {
            err << file << ": cannot be read\n";
            status = 1;
            continue;
        }
        PrintValues(item->GetText(), out);
    }
    return status;
}

int InspectScan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        out << kScanHelp;
        return 0;
    }
    if (args.size() != 1 || args[0].rfind("--", 0) == 0) {
        err << kScanHelp;
        return 2;
    }
    if (!IsFolder(args[0])) {
        err << "tcrate-inspect scan: '" << args[0] << "' is not a folder\n";
        return 1;
    }
    const TMediaEnvironment env("", std::string(kDefaultTagsCodepage));
    const TPlugIns registry(env);
    std::vector<std::string> files;
    ScanFolder(files, WithTrailingSlash(args[0]), registry);
    for (const std::string& file : files) out << file << '\n';
    return 0;
}
