#include "library_bench.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <ostream>

#include "core/box.h"
#include "core/database.h"
#include "core/fileio.h"
#include "core/library.h"
#include "core/plugins.h"
#include "corpus.h"
#include "media/mediaenv.h"
#include "media/mobj.h"
#include "options.h"
#include "timing.h"

namespace {

constexpr int kMaxItems = 2000000;

constexpr const char* kUsage =
    "usage: tcrate-bench library [--items N] [--json]\n"
    "\n"
    "Builds a library of N items in memory (about 25 values and 900 bytes of text\n"
    "each, N/10 artists, N/20 albums) and times:\n"
    "  load      reading its database file and classifying every item, beside the\n"
    "            bare read of the file (the floor)\n"
    "  classify  filing every item into a box sorted by artist\n"
    "  save      writing the database (backup and database file, each flushed)\n"
    "  find      looking up every item by its file name\n"
    "  favourites  what a load takes longer when every item is a favourite too, and\n"
    "            adding every item to the favourites unless already there\n"
    "  remove    taking every tenth item out of its artist box and the library,\n"
    "            and emptying a flat box from its last item to its first\n"
    "and the memory the loaded library takes per item (resident size growth).\n"
    "\n"
    "options:\n"
    "  --items N  number of items, 1 to 2000000 (default 100000)\n"
    "  --json     print one JSON object: items, classify_ms, save_ms, load_ms,\n"
    "             find_ms, bytes_per_item, read_floor_ms, remove_10000_ms (every\n"
    "             tenth item), load_favourites_ms, add_favourites_ms, remove_flat_ms\n";

uint64_t SplitMix(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// The values an item read from a typical tagged file holds.
std::string ItemText(int i, int items, uint64_t& random) {
    const int artists = std::max(1, items / 10);
    const int albums = std::max(1, items / 20);
    const int artist = static_cast<int>(SplitMix(random) % static_cast<uint64_t>(artists));
    const int album = static_cast<int>(SplitMix(random) % static_cast<uint64_t>(albums));
    const std::string path = "/home/user/Music/Artist " + std::to_string(artist) + "/Album " + std::to_string(album) +
                             "/" + std::to_string(i % 20 + 1) + " - Track number " + std::to_string(i) + ".mp3";
    std::string picture = path;
    for (char& c : picture)
        if (c == '/') c = '.';
    const int year = 1960 + static_cast<int>(SplitMix(random) % 60);
    std::string text;
    text += "filename=" + path + "\r\nTAG=ID3\r\nversion=3\r\nflags.a=0\r\nflags.b=0\r\nflags.c=0\r\nheader_size=24576\r\n";
    text += "TIT2=Track number " + std::to_string(i) + " of the album\r\n";
    text += "TPE1=Artist " + std::to_string(artist) + "\r\n";
    text += "TALB=Album " + std::to_string(album) + "\r\n";
    text += "TYER=" + std::to_string(year) + "\r\nTCON=Rock\r\nTRCK=" + std::to_string(i % 20 + 1) + "/20\r\n";
    text += "COMM=" + std::string(180, 'c') + "\r\nTENC=LAME 3.100\r\nTSSE=LAME 64bits version 3.100\r\n";
    text += "TCOP=(C) Record label of artist " + std::to_string(artist) + "\r\n";
    text += "APIC.num=1\r\nAPIC.0.mimetype=image/jpeg\r\nAPIC.0.pictype=3\r\nAPIC.0.description=Front cover\r\n";
    text += "APIC.0.filename=picture/" + picture + ".0.jpg\r\n";
    text += "mpeg_level=3\r\nmpeg_layer=1\r\nTC_BR=" + std::string(i % 3 == 0 ? "320" : "192") +
            "\r\nfrequency=44100\r\npadding=0\r\nchannel=Joint stereo\r\nTC_SIZE=" + std::to_string(4000000 + i) +
            "\r\ndate_modified=" + std::to_string(1300000000 + i) + "\r\nmodified=false\r\n";
    return text;
}

// With everyAlsoFavourite, every item is listed in the favourites too.
std::string Database(int items, bool everyAlsoFavourite) {
    TDatabaseWriter out;
    out.Integer(kDatabaseVersion);
    out.String("");
    out.String("");
    out.Integer(items);
    uint64_t random = 20261209;
    std::vector<std::string> names;
    for (int i = 0; i < items; ++i) {
        const std::string text = ItemText(i, items, random);
        out.String(".mp3");
        out.String(text);
        if (everyAlsoFavourite) names.push_back(text.substr(9, text.find('\r') - 9));
    }
    out.Integer(static_cast<int32_t>(names.size()));
    for (const std::string& name : names) {
        out.String(".mp3");
        out.String(name);
    }
    for (int list = 0; list < 2; ++list) out.Integer(0);
    out.Integer(-1);
    out.String("root.Name=Tunecrate\r\nroot.Type=artist\r\n");
    out.String("root.Name=我的最爱\r\nroot.Type=artist\r\n");
    out.String("root.Name=播放列表\r\nroot.Type=not sort\r\n");
    return std::move(out.Bytes());
}

template <typename F>
double Milliseconds(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int RunLibraryBench(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::optional<TBenchOptions> options = ParseBenchOptions(args, "library", "--items", 100000, kMaxItems, kUsage, out, err);
    if (!options) return 2;
    if (options->help) return 0;
    const int items = options->count;
    const TBenchFolder folder;
    const std::string database = folder.Path() + "tune.crate";
    const std::string favouritesDatabase = folder.Path() + "favourites.crate";
    int64_t textBytes = 0;
    {
        const std::string bytes = Database(items, false);
        textBytes = static_cast<int64_t>(bytes.size());
        if (!WriteWholeFile(database, bytes)) {
            err << "tcrate-bench library: cannot write " << database << '\n';
            return 1;
        }
    }
    TMediaEnvironment env(folder.Path(), "GB18030");
    const TPlugIns registry(env);

    std::string bytes;
    const double readFloor = Milliseconds([&] { ReadWholeFile(database, bytes); });
    bytes = std::string();

    const int64_t before = ResidentBytes();
    std::unique_ptr<TTUNECRATE> library;
    const double load = Milliseconds([&] { library = std::make_unique<TTUNECRATE>(registry, database, folder.Path() + "tune.bak"); });
    const double perItem = static_cast<double>(ResidentBytes() - before) / items;
    if (library->Count() != items) {
        err << "tcrate-bench library: " << library->Count() << " of " << items << " items loaded\n";
        return 1;
    }

    TBOX box("artist");
    const double classify = Milliseconds([&] {
        for (int i = 0; i < items; ++i) box.AddItem(library->GetItem(i));
    });
    bool saved = false;
    const double save = Milliseconds([&] { saved = library->Save(); });
    int found = 0;
    const double find = Milliseconds([&] {
        for (int i = 0; i < items; ++i) found += library->FindByFileName(library->GetItem(i)->GetFileName()) != nullptr;
    });
    if (!saved || found != items) {
        err << "tcrate-bench library: the save failed or items were not found\n";
        return 1;
    }

    // Bulk edits: every item added to the favourites unless already there; a
    // flat box emptied from its last item to its first; a tenth of the items
    // taken out of their artist boxes and out of the library.
    const double addFavourites = Milliseconds([&] {
        for (int i = 0; i < items; ++i) {
            TMObj* item = library->GetItem(i);
            if (!library->FavouritesBox.Contains(item)) library->FavouritesBox.AddItem(item);
        }
    });
    TBOX flat("not sort");
    for (int i = 0; i < items; ++i) flat.AddItem(library->GetItem(i));
    const double removeFlat = Milliseconds([&] {
        for (int i = flat.ItemCount() - 1; i >= 0; --i) flat.RemoveItem(flat.GetItem(i));
    });
    std::vector<TMObj*> leaving;
    for (int i = 0; i < items; i += 10) leaving.push_back(library->GetItem(i));
    const double remove = Milliseconds([&] {
        for (TMObj* item : leaving)
            if (TBOX* artist = library->AllItemsBox.FindChild(item->GetArtist())) artist->RemoveItem(item);
        library->RemoveItems(leaving);
    });
    if (library->FavouritesBox.ItemCount() + library->FavouritesBox.ChildCount() == 0 || flat.ItemCount() != 0 ||
        library->Count() != items - static_cast<int>(leaving.size())) {
        err << "tcrate-bench library: a bulk edit went wrong\n";
        return 1;
    }
    library.reset();
    // Made only now, so that making it does not change the memory figure.
    if (!WriteWholeFile(favouritesDatabase, Database(items, true))) {
        err << "tcrate-bench library: cannot write " << favouritesDatabase << '\n';
        return 1;
    }
    std::unique_ptr<TTUNECRATE> favourites;
    // What the favourites add to a load.
    const double loadFavourites = std::max(
        0.0, Milliseconds([&] {
            favourites = std::make_unique<TTUNECRATE>(registry, favouritesDatabase, folder.Path() + "favourites.bak");
        }) - load);
    std::vector<TMObj*> listed;
    if (favourites->FavouritesBox.CollectItems(listed) != items) {
        err << "tcrate-bench library: " << listed.size() << " of " << items << " favourites loaded\n";
        return 1;
    }

    char line[1024];
    if (options->json) {
        std::snprintf(line, sizeof line,
                      "{\"items\": %d, \"classify_ms\": %.1f, \"save_ms\": %.1f, \"load_ms\": %.1f, \"find_ms\": %.1f, "
                      "\"bytes_per_item\": %.0f, \"read_floor_ms\": %.1f, \"remove_10000_ms\": %.1f, "
                      "\"load_favourites_ms\": %.1f, \"add_favourites_ms\": %.1f, \"remove_flat_ms\": %.1f}\n",
                      items, classify, save, load, find, perItem, readFloor, remove, loadFavourites, addFavourites,
                      removeFlat);
        out << line;
        return 0;
    }
    std::snprintf(line, sizeof line,
                  "items %d (database %.1f MB, %.0f bytes of text per item)\n"
                  "load       %8.1f ms   %5.1f x the bare read of the file (%.1f ms)\n"
                  "classify   %8.1f ms   by artist, %d artists\n"
                  "save       %8.1f ms\n"
                  "find       %8.1f ms   every item by file name\n"
                  "memory     %8.0f bytes per item (%.2f x its text)\n"
                  "favourites %8.1f ms   added to the load when every item is also a favourite\n"
                  "           %8.1f ms   every item added to the favourites unless already there\n"
                  "remove     %8.1f ms   %zu items out of their boxes and the library\n"
                  "           %8.1f ms   every item of a flat box, one by one from the last\n",
                  items, textBytes / 1048576.0, static_cast<double>(textBytes) / items, load, load / readFloor, readFloor,
                  classify, box.ChildCount(), save, find, perItem, perItem / (static_cast<double>(textBytes) / items),
                  loadFavourites, addFavourites, remove, leaving.size(), removeFlat);
    out << line;
    return 0;
}
