#include <ostream>

#include "core/database.h"
#include "core/fileio.h"
#include "tools/inspect.h"

namespace {

constexpr const char* kDbHelp =
    "usage: tcrate-inspect db FILE\n"
    "\n"
    "Prints what a library database (tune.crate or tune.bak) holds: its version,\n"
    "the reserved strings, every item with its type and values, the favourites,\n"
    "playlist and now-playing entries, the now-playing index and the tree texts\n"
    "of the all-items, favourites and playlist boxes. A damaged file is printed up\n"
    "to the damage, followed by a line saying where reading stopped.\n"
    "\n"
    "Exit status: 0 for a sound file, 1 for a damaged, unreadable or rejected\n"
    "one, 2 for bad arguments.\n";

// Text of the file as lines, each line ended by LF.
void PrintLines(std::string_view text, std::ostream& out) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        out << "  " << text.substr(pos, end - pos) << '\n';
        pos = end + ((end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ? 2 : 1);
    }
}

void PrintEntries(const char* name, const std::vector<TDatabaseImage::Pair>& entries, std::ostream& out) {
    out << name << ' ' << entries.size() << '\n';
    for (const auto& [type, file] : entries) out << "  " << type << ' ' << file << '\n';
}

} // namespace

int InspectDb(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        out << kDbHelp;
        return 0;
    }
    if (args.size() != 1 || args[0].rfind("--", 0) == 0) {
        err << kDbHelp;
        return 2;
    }
    std::string bytes;
    if (!ReadWholeFile(args[0], bytes)) {
        err << args[0] << ": cannot be read\n";
        return 1;
    }
    const TDatabaseImage image = ParseDatabase(bytes);
    if (!image.damage.empty() && image.records.empty() && image.version == 0) {
        err << args[0] << ": damaged: reading stopped at " << image.damage << '\n';
        return 1;
    }
    out << "version " << image.version << '\n';
    if (image.rejected) {
        err << args[0] << ": " << kDatabaseVersionError << '\n';
        return 1;
    }
    if (image.version >= 105) {
        out << "reserved A: " << image.reservedA << '\n';
        out << "reserved B: " << image.reservedB << '\n';
    }
    out << "items " << image.records.size() << '\n';
    for (std::size_t i = 0; i < image.records.size(); ++i) {
        out << "== item " << i << ' ' << image.records[i].first << '\n';
        PrintLines(image.records[i].second, out);
    }
    if (image.version >= 106) {
        PrintEntries("favourites", image.favourites, out);
        PrintEntries("playlist", image.playlist, out);
    }
    if (image.version >= 107) {
        PrintEntries("now-playing", image.nowPlaying, out);
        out << "now-playing index " << image.nowPlayingIndex << '\n';
    }
    static constexpr const char* kTrees[] = {"all items", "favourites", "playlist"};
    for (std::size_t i = 0; i < image.trees.size(); ++i) {
        out << "== tree of " << kTrees[i] << '\n';
        PrintLines(image.trees[i], out);
    }
    if (!image.damage.empty()) {
        out << "damaged: reading stopped at " << image.damage << '\n';
        return 1;
    }
    return 0;
}
