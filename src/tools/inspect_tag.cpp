#include <memory>
#include <ostream>
#include <utility>

#include "core/paths.h"
#include "core/plugins.h"
#include "core/sysinfo.h"
#include "media/mediaenv.h"
#include "media/mp3tag.h"
#include "media/tagwriter.h"
#include "tools/datafolder.h"
#include "tools/inspect.h"

namespace {

constexpr const char* kTagHelp =
    "usage: tcrate-inspect tag [--data-dir DIR] FILE [NAME=VALUE]...\n"
    "\n"
    "Reads an MPEG audio file the way Tunecrate adds it to its library, sets\n"
    "each value (an empty value deletes it: 'TPE1='), and writes the file's tags\n"
    "back as Tunecrate saves a changed item. Pictures read from the file are\n"
    "written back.\n"
    "\n"
    "  --data-dir DIR   keep the pictures in DIR/picture/\n"
    "                   (default: a temporary folder, removed afterwards)\n"
    "\n"
    "Exit status: 0 when the file was written, 1 when it could not be, 2 for bad\n"
    "arguments.\n";

} // namespace

int InspectTag(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string dataDir;
    std::string file;
    std::vector<std::pair<std::string, std::string>> values;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            out << kTagHelp;
            return 0;
        }
        const std::size_t eq = arg.find('=');
        if (arg == "--data-dir" && i + 1 < args.size()) {
            dataDir = args[++i];
        } else if (arg.rfind("--", 0) == 0) {
            err << "tcrate-inspect tag: unknown or incomplete option '" << arg << "'\n" << kTagHelp;
            return 2;
        } else if (file.empty()) {
            file = arg;
        } else if (eq == std::string::npos || eq == 0) {
            err << "tcrate-inspect tag: '" << arg << "' is not NAME=VALUE\n" << kTagHelp;
            return 2;
        } else {
            values.emplace_back(arg.substr(0, eq), arg.substr(eq + 1));
        }
    }
    if (file.empty()) {
        err << kTagHelp;
        return 2;
    }

    TDataFolder data(dataDir);
    if (data.Path().empty()) {
        err << "tcrate-inspect tag: cannot create a temporary folder\n";
        return 1;
    }
    const TMediaEnvironment env(data.Path(), std::string(kDefaultTagsCodepage));
    const TPlugIns registry(env);
    const std::unique_ptr<TMObj> item = registry.CreateItemFor(FileExtension(file));
    auto* mpeg = dynamic_cast<TMP3Tag*>(item.get());
    if (mpeg == nullptr) {
        err << file << ": Tunecrate writes tags of MPEG audio files only\n";
        return 1;
    }
    if (mpeg->LoadFromFile(file) != 0) {
        err << file << ": cannot be read\n";
        return 1;
    }
    for (const auto& [name, value] : values) mpeg->SetValue(name, value);
    mpeg->SetModified(true);
    const int saved = mpeg->SaveIfModified();
    if (saved == -2) {
        std::string target;
        data.Keep();
        err << file << ": damaged while it was written; the complete new file is "
            << PendingTagCopy(data.Path(), target) << "\n";
        return 1;
    }
    if (saved != 0) {
        err << file << ": cannot be written\n";
        return 1;
    }
    return 0;
}
