// The targets of the database, the library, tree texts, settings and playlists.
#include <memory>
#include <unistd.h>
#include <unordered_set>
#include <vector>

#include "core/box.h"
#include "core/bytesource.h"
#include "core/database.h"
#include "core/fileio.h"
#include "core/library.h"
#include "core/plugins.h"
#include "core/sysinfo.h"
#include "core/treetext.h"
#include "core/valuelist.h"
#include "fuzzsupport.h"
#include "media/mp3tag.h"
#include "playlists/playlistfile.h"
#include "targets.h"

namespace {

// The fields of an image, written in the layout of its version.
std::string DatabaseBytes(const TDatabaseImage& image) {
    TDatabaseWriter out;
    const auto entries = [&out](const std::vector<TDatabaseImage::Pair>& list) {
        out.Integer(static_cast<int32_t>(list.size()));
        for (const auto& [type, text] : list) {
            out.String(type);
            out.String(text);
        }
    };
    out.Integer(image.version);
    if (image.version >= 105) {
        out.String(image.reservedA);
        out.String(image.reservedB);
    }
    entries(image.records);
    if (image.version >= 106) {
        entries(image.favourites);
        entries(image.playlist);
    }
    if (image.version >= 107) {
        entries(image.nowPlaying);
        out.Integer(image.nowPlayingIndex);
    }
    for (std::string_view tree : image.trees) out.String(tree);
    return std::move(out.Bytes());
}

void AppendField(std::string& dump, std::string_view text) {
    dump.append(std::to_string(text.size())).append(":").append(text).append("\n");
}

// Everything a library holds that its database keeps.
std::string LibraryDump(const TTUNECRATE& library) {
    std::string dump;
    AppendField(dump, std::to_string(library.Version()));
    AppendField(dump, library.ReservedA());
    AppendField(dump, library.ReservedB());
    std::unordered_map<const TMObj*, int> index;
    for (int i = 0; i < library.Count(); ++i) {
        index.emplace(library.GetItem(i), i);
        AppendField(dump, library.GetItem(i)->GetText());
    }
    for (const TBOX* box : {&library.AllItemsBox, &library.FavouritesBox, &library.PlaylistBox, &library.NowPlayingBox})
        AppendField(dump, BoxDump(*box, index));
    AppendField(dump, std::to_string(library.NowPlayingIndex));
    return dump;
}

// Items for a tree: a line each, its fields, split at tabs, the artist, year,
// album, genre, bitrate and file name.
std::vector<std::unique_ptr<TMP3Tag>> TreeItems(std::string_view lines) {
    constexpr std::size_t kMaxItems = 64;
    static constexpr const char* kFields[] = {"TPE1", "TYER", "TALB", "TCON", "TC_BR", "filename"};
    std::vector<std::unique_ptr<TMP3Tag>> items;
    while (!lines.empty() && items.size() < kMaxItems) {
        const std::size_t end = std::min(lines.find('\n'), lines.size());
        std::string_view line = lines.substr(0, end);
        lines.remove_prefix(std::min(end + 1, lines.size()));
        auto& item = items.emplace_back(std::make_unique<TMP3Tag>(FuzzEnvironment()));
        item->SetValue("filename", "/fuzz/" + std::to_string(items.size()) + ".mp3");
        for (const char* field : kFields) {
            const std::size_t tab = std::min(line.find('\t'), line.size());
            if (tab > 0) item->SetValue(field, std::string(line.substr(0, tab)));
            line.remove_prefix(std::min(tab + 1, line.size()));
        }
    }
    return items;
}

// The value of every known setting and of every name the lines give.
std::string SettingsDump(const TSysInfo& settings, const TValueList& lines) {
    std::string dump;
    for (const TSettingKey& key : SettingKeys()) AppendField(dump, settings.ReadSetting(key.name));
    lines.ForEach([&](std::string_view name, std::string_view) {
        AppendField(dump, settings.ReadString(name));
        AppendField(dump, std::to_string(settings.ReadInteger(name, -1)));
        AppendField(dump, settings.ReadBool(name, false) ? "true" : "false");
    });
    return dump;
}

} // namespace

void FuzzDatabase(std::string_view bytes) {
    const TDatabaseImage image = ParseDatabase(bytes);
    TBOX box("artist");
    for (std::string_view tree : image.trees) ApplyTreeText(box, tree);
    if (image.rejected || !image.damage.empty()) return;
    FuzzCheck(bytes.starts_with(DatabaseBytes(image)), "a database read whole is not what its fields give");
}

void FuzzLibrary(std::string_view bytes) {
    static const TPlugIns registry(FuzzEnvironment());
    const std::string database = ScratchFolder() + "tune.crate";
    const std::string backup = ScratchFolder() + "tune.bak";
    for (const std::string& path : {database, backup, database + ".damaged", backup + ".damaged"}) unlink(path.c_str());
    FuzzCheck(WriteWholeFile(database, bytes), "the database cannot be written");

    std::string saved, dump;
    try {
        TTUNECRATE library(registry, database, backup);
        FuzzCheck(library.Save(), "the library cannot be saved");
        saved = Contents(database);
        dump = LibraryDump(library);
    } catch (const TDatabaseVersionError&) {
        FuzzCheck(Contents(database) == bytes, "a database of a version that cannot be read was changed");
        return;
    }
    FuzzCheck(Contents(database) == saved, "a library saved twice gives other bytes");
    TTUNECRATE again(registry, database, backup);
    FuzzCheck(!again.LoadReport().damaged && !again.LoadReport().restoredFromBackup, "a saved library does not read whole");
    FuzzCheck(LibraryDump(again) == dump, "a saved library reads back into another library");
    FuzzCheck(again.Save() && Contents(database) == saved, "a library read back is saved into other bytes");
}

void FuzzTreeText(std::string_view bytes) {
    const std::size_t nul = bytes.find('\0');
    if (nul == std::string_view::npos) return;
    const std::vector<std::unique_ptr<TMP3Tag>> items = TreeItems(bytes.substr(0, nul));
    std::unordered_map<const TMObj*, int> index;
    for (std::size_t i = 0; i < items.size(); ++i) index.emplace(items[i].get(), static_cast<int>(i));
    const auto applied = [&items](std::string_view text) {
        auto box = std::make_unique<TBOX>("artist");
        for (const auto& item : items) box->AddItem(item.get());
        ApplyTreeText(*box, text);
        return box;
    };
    const std::unique_ptr<TBOX> first = applied(bytes.substr(nul + 1));
    const std::string text = TreeText(*first);
    const std::unique_ptr<TBOX> second = applied(text);
    FuzzCheck(TreeText(*second) == text, "a tree text read back gives another tree text");
    FuzzCheck(BoxDump(*second, index) == BoxDump(*first, index), "a tree text read back files the items elsewhere");
}

void FuzzSettings(std::string_view bytes) {
    TValueList lines;
    lines.SetText(bytes);
    TValueList again;
    again.SetText(lines.Text());
    FuzzCheck(again.Text() == lines.Text(), "settings read back give another text");
    // Setting a name to the value its first line holds changes nothing.
    std::unordered_set<std::string> seen;
    lines.ForEach([&](std::string_view name, std::string_view value) {
        std::string folded(name);
        for (char& c : folded) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
        if (!seen.insert(folded).second) return;
        FuzzCheck(lines.GetView(name) == value, "a name does not read as its first line");
        if (!value.empty()) again.Set(name, value);
    });
    FuzzCheck(again.Text() == lines.Text(), "settings set to their own values give another text");

    const std::string file = ScratchFolder() + "box.ini";
    FuzzCheck(WriteWholeFile(file, bytes), "the settings file cannot be written");
    std::string dump;
    {
        TSysInfo settings(ScratchFolder());
        dump = SettingsDump(settings, lines);
        FuzzCheck(settings.Save(), "the settings cannot be saved");
    }
    FuzzCheck(Contents(file) == lines.Text(), "the settings saved are not the lines read");
    const TSysInfo reread(ScratchFolder());
    FuzzCheck(SettingsDump(reread, lines) == dump, "settings saved read back into other values");
}

void FuzzPlaylist(std::string_view bytes) {
    for (const TPlaylistKind kind : {TPlaylistKind::M3u, TPlaylistKind::Wpl}) {
        TMemorySource source(bytes);
        const std::vector<std::string> entries = ReadPlaylistEntries(kind, source);
        const std::string text = PlaylistText(kind, entries);
        TMemorySource written(text);
        FuzzCheck(ReadPlaylistEntries(kind, written) == entries, "a playlist written of the entries read lists others");
    }
}
