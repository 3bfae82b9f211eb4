#include "search_bench.h"

#include <QComboBox>
#include <QLineEdit>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "browser/boxtree.h"
#include "browser/mainwindow.h"
#include "browser/tracklist.h"
#include "core/box.h"
#include "core/fileio.h"
#include "core/library.h"
#include "corpus.h"
#include "media/mobj.h"
#include "media/mp3const.h"
#include "media/tagreader.h"
#include "offscreen.h"
#include "options.h"
#include "playlists/playlistcommands.h"
#include "search/formsearch.h"
#include "search/searchcriteria.h"
#include "timing.h"

namespace {

constexpr int kMaxItems = 1000000;
constexpr int kRuns = 5;

constexpr const char* kUsage =
    "usage: tcrate-bench search [--items N] [--json]\n"
    "       (run as tcrate-bench-search, which tcrate-bench hands the command to)\n"
    "\n"
    "In the main window, offscreen, over a library of N items whose files all\n"
    "exist (links to a few small files), the fastest of 5 runs of:\n"
    "  match   testing every item against the criteria, once with every text\n"
    "          criterion set and once with none (the slower of the two)\n"
    "  search  \"开始\" in the search window until the last row is in its list,\n"
    "          for the same two searches (the slower)\n"
    "  m3u/wpl save  \"保存为 播放列表\" of the all-items box into a playlist file\n"
    "  m3u/wpl load  \"打开 ...\" of that file into the playlist box\n"
    "\n"
    "options:\n"
    "  --items N  number of items, 1 to 1000000 (default 100000)\n"
    "  --json     print one JSON object: items, match_ms, search_ms, m3u_save_ms,\n"
    "             m3u_load_ms, wpl_save_ms, wpl_load_ms\n";

// A library of items with every searched value, each item's file a link to
// one of a few small files (a file takes only so many links), so that
// loading a playlist finds the files unchanged.
std::string SearchDatabase(const std::string& folder, int items) {
    constexpr int kLinksPerFile = 50000;
    std::string file, unchanged;
    return LibraryDatabase(items, [&](int i) {
        if (i % kLinksPerFile == 0) {
            file = folder + "track" + std::to_string(i / kLinksPerFile) + ".mp3";
            struct stat facts {};
            if (!WriteWholeFile(file, std::string(4096, '\0')) || stat(file.c_str(), &facts) != 0)
                throw std::runtime_error("cannot write " + file);
            unchanged = "TC_SIZE=" + std::to_string(facts.st_size) +
                        "\r\ndate_modified=" + std::to_string(DosDateTime(facts.st_mtime)) + "\r\n";
        }
        const std::string name = folder + "links/" + std::to_string(i) + ".mp3";
        if (link(file.c_str(), name.c_str()) != 0) throw std::runtime_error("cannot link " + name);
        std::string text = "filename=" + name + "\r\nTIT2=Track " + std::to_string(i * 7919 % items) +
                           "\r\nTPE1=Artist " + std::to_string(i % 1000) + "\r\nTALB=Album " +
                           std::to_string(i % 5000) + "\r\nTYER=" + std::to_string(1960 + i % 60) +
                           "\r\nTCON=" + std::string(kGenreTable[std::size_t(i) % kGenreCount]) + "\r\n" + unchanged;
        if (i % 3 == 0) text += "USLT=la la love " + std::to_string(i) + "\r\n";
        if (i % 4 == 0) text += "APIC.num=1\r\n";
        return text;
    }, "not sort");
}

struct TCriteriaText {
    const char* title;
    const char* artist;
    const char* year;
    const char* genre;
    const char* album;
    const char* lyrics;
};
constexpr TCriteriaText kEverySet{"Track 1", "Artist 1", "19", "Rock", "Album 1", "love"};
constexpr TCriteriaText kNoneSet{"", "", "", "", "", ""};

void Fill(TFormSearch& search, const TCriteriaText& text) {
    const std::pair<const char*, const char*> fields[] = {{"EditTitle", text.title}, {"EditArtist", text.artist},
                                                          {"EditYear", text.year},   {"EditAlbum", text.album},
                                                          {"EditLyrics", text.lyrics}};
    for (const auto& [name, value] : fields) search.findChild<QLineEdit*>(name)->setText(value);
    auto* genre = search.findChild<QComboBox*>("ComboGenre");
    genre->setCurrentIndex(genre->findText(text.genre));
}

// The matching alone, and the search from the button to the last row.
std::pair<double, double> TimeSearch(TtcrateFormMain& window, const TCriteriaText& text) {
    window.Search1Click();
    TFormSearch& search = *window.SearchWindow();
    Fill(search, text);
    const TSearchCriteria criteria = search.Criteria();
    const TTUNECRATE& library = *window.Library();
    int matches = 0;
    const TPassTiming match = BestOf(kRuns, [&] {
        matches = 0;
        for (int i = 0; i < library.Count(); ++i) matches += criteria.Matches(*library.GetItem(i)) ? 1 : 0;
        return 0;
    });
    bool finished = false;
    const QObject context;
    QObject::connect(&search, &TFormSearch::SearchFinished, &context, [&] { finished = true; });
    const TPassTiming found = BestOf(kRuns, [&] {
        finished = false;
        search.BitBtn1Click();
        ServeUntil([&] { return finished; });
        return search.Results().rowCount() == matches ? 0 : 1;
    });
    if (found.failures != 0) throw std::runtime_error("the search listed other rows than the matches");
    return {match.seconds * 1000, found.seconds * 1000};
}

// A command on a node, the fastest of the runs; the node is opened (and
// listed) before each run, outside the time.
double TimeOnNode(TtcrateFormMain& window, TBOX& box, void (TPlaylistCommands::*command)()) {
    double best = std::numeric_limits<double>::infinity();
    for (int run = 0; run < kRuns; ++run) {
        OpenNode(window, window.BoxTree().FindChildNodeForBox(nullptr, &box));
        const auto start = std::chrono::steady_clock::now();
        (window.Playlists().*command)();
        best = std::min(best, MillisecondsSince(start));
    }
    return best;
}

// Saving the all-items box and loading the file into the playlist box.
std::pair<double, double> TimePlaylist(TtcrateFormMain& window, TBenchDialogs& dialogs, const std::string& file) {
    TTUNECRATE& library = *window.Library();
    dialogs.saveFile = QString::fromStdString(file);
    dialogs.openFiles = {dialogs.saveFile};
    const double save = TimeOnNode(window, library.AllItemsBox, &TPlaylistCommands::Save1Click);
    const double load = TimeOnNode(window, library.PlaylistBox, &TPlaylistCommands::Open1Click);
    if (dialogs.errors != 0 || library.PlaylistBox.ItemCount() != library.Count())
        throw std::runtime_error("the playlist " + file + " failed");
    return {save, load};
}

int RunSearchBench(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::optional<TBenchOptions> options =
        ParseBenchOptions(args, "search", "--items", 100000, kMaxItems, kUsage, out, err);
    if (!options) return 2;
    if (options->help) return 0;
    const int items = options->count;

    const TBenchFolder folder;
    if (mkdir((folder.Path() + "links").c_str(), 0700) != 0) throw std::runtime_error("cannot make the links folder");
    if (!WriteWholeFile(folder.Path() + "tune.crate", SearchDatabase(folder.Path(), items)))
        throw std::runtime_error("cannot write the library");
    TBenchDesktop desktop;
    const auto window = OpenWindow(folder.Path(), desktop);
    const auto [matchSet, searchSet] = TimeSearch(*window, kEverySet);
    const auto [matchNone, searchNone] = TimeSearch(*window, kNoneSet);
    const auto [m3uSave, m3uLoad] = TimePlaylist(*window, desktop.dialogs, folder.Path() + "list.m3u");
    const auto [wplSave, wplLoad] = TimePlaylist(*window, desktop.dialogs, folder.Path() + "list.wpl");

    char line[768];
    if (options->json) {
        std::snprintf(line, sizeof line,
                      "{\"items\": %d, \"match_ms\": %.2f, \"search_ms\": %.1f, \"m3u_save_ms\": %.1f, "
                      "\"m3u_load_ms\": %.1f, \"wpl_save_ms\": %.1f, \"wpl_load_ms\": %.1f}\n",
                      items, std::max(matchSet, matchNone), std::max(searchSet, searchNone), m3uSave, m3uLoad, wplSave,
                      wplLoad);
        out << line;
        return 0;
    }
    std::snprintf(line, sizeof line,
                  "items %d (the fastest of %d runs)\n"
                  "match     %9.2f ms   every text criterion set (budget 50 ms)\n"
                  "match     %9.2f ms   no criterion set\n"
                  "search    %9.1f ms   every text criterion set, until the last row is listed (budget 500 ms)\n"
                  "search    %9.1f ms   no criterion set: every item listed\n"
                  "m3u save  %9.1f ms   the all-items box (budget 500 ms)\n"
                  "m3u load  %9.1f ms   into the playlist box (budget 500 ms)\n"
                  "wpl save  %9.1f ms\n"
                  "wpl load  %9.1f ms\n",
                  items, kRuns, matchSet, matchNone, searchSet, searchNone, m3uSave, m3uLoad, wplSave, wplLoad);
    out << line;
    return 0;
}

} // namespace

int main(int argc, char** argv) { return RunOffscreen(argc, argv, kSearchBenchProgram, RunSearchBench); }
