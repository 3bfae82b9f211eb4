#include "targets.h"

#include <array>
#include <cstdio>
#include <cstdlib>

#include "core/box.h"
#include "core/fileio.h"
#include "core/sysinfo.h"
#include "core/tempfolder.h"
#include "fuzzsupport.h"
#include "media/mediaenv.h"

namespace {

constexpr std::array kTargets = {
    TFuzzTarget{"tagreader", FuzzTagReader},   TFuzzTarget{"tagwriter", FuzzTagWriter},
    TFuzzTarget{"mpegheader", FuzzMpegHeader}, TFuzzTarget{"database", FuzzDatabase},
    TFuzzTarget{"library", FuzzLibrary},       TFuzzTarget{"treetext", FuzzTreeText},
    TFuzzTarget{"settings", FuzzSettings},     TFuzzTarget{"playlist", FuzzPlaylist},
};

void AppendBox(std::string& dump, const TBOX& box, const std::unordered_map<const TMObj*, int>& index, int depth) {
    dump.append(static_cast<std::size_t>(depth), ' ').append(box.GetName()).append(" [").append(box.GetSortKey()).append("]");
    for (int i = 0; i < box.ItemCount(); ++i) {
        const auto found = index.find(box.GetItem(i));
        dump.append(" ").append(std::to_string(found == index.end() ? -1 : found->second));
    }
    dump.append("\n");
    for (int i = 0; i < box.ChildCount(); ++i) AppendBox(dump, *box.GetChild(i), index, depth + 1);
}

} // namespace

std::span<const TFuzzTarget> FuzzTargets() { return kTargets; }

const TFuzzTarget* FindFuzzTarget(std::string_view name) {
    for (const TFuzzTarget& target : kTargets)
        if (target.name == name) return &target;
    return nullptr;
}

void FuzzCheckFailed(const char* rule) {
    std::fprintf(stderr, "fuzz check failed: %s\n", rule);
    std::abort();
}

const std::string& ScratchFolder() {
    static const TTemporaryFolder folder("tcrate-fuzz");
    if (folder.Path().empty()) FuzzCheckFailed("no temporary folder could be made");
    return folder.Path();
}

const TMediaEnvironment& FuzzEnvironment() {
    static const TMediaEnvironment env(ScratchFolder(), std::string(kDefaultTagsCodepage));
    return env;
}

std::string Contents(const std::string& path) {
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
}

std::string BoxDump(const TBOX& box, const std::unordered_map<const TMObj*, int>& index) {
    std::string dump;
    AppendBox(dump, box, index, 0);
    return dump;
}
