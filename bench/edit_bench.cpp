#include "edit_bench.h"

#include <QItemSelectionModel>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "browser/boxtree.h"
#include "browser/editcommands.h"
#include "browser/mainwindow.h"
#include "browser/tracklist.h"
#include "browser/tracklistctl.h"
#include "core/box.h"
#include "core/fileio.h"
#include "core/library.h"
#include "core/paths.h"
#include "corpus.h"
#include "offscreen.h"
#include "options.h"
#include "timing.h"
#include "tools/inspect.h"

namespace {

constexpr int kMaxFiles = 1000000;
constexpr int kRuns = 5;
constexpr int kBoxItems = 100000;
constexpr int kPastedRows = 10000;

constexpr const char* kUsage =
    "usage: tcrate-bench edit [--files N] [--json]\n"
    "       (run as tcrate-bench-edit, which tcrate-bench hands the command to)\n"
    "\n"
    "Times the commands that change the library in the main window, offscreen,\n"
    "with no sound card and no notification area, until each returns:\n"
    "  add folder    \"添加 文件夹\" on a generated folder of N MP3 files (about\n"
    "                250 KB each), wait window and all, into an empty library\n"
    "  inspect read  'tcrate-inspect read' of the same files, its output thrown\n"
    "                away: add folder should take at most 1.25 times as long\n"
    "                (both the fastest of 5 runs, taken in turn, the files in the\n"
    "                page cache)\n"
    "  delete box    a box of 100000 items deleted from the tree\n"
    "  paste         10000 rows cut from one artist's box, pasted on another's node\n"
    "  favourites    \"添加到 我的最爱\" on the all-items box of 100000 items\n"
    "\n"
    "options:\n"
    "  --files N  number of files, 1 to 1000000 (default 10000)\n"
    "  --json     print one JSON object: files, add_folder_ms, inspect_read_ms,\n"
    "             delete_box_ms, paste_10000_ms, favourites_ms\n";

std::string MakeFolder(const TBenchFolder& folder, const std::string& name) {
    const std::string path = folder.Path() + name + "/";
    if (!MakeFolders(path)) throw std::runtime_error("cannot create " + path);
    return path;
}

// A data folder holding a library database.
std::string LibraryFolder(const TBenchFolder& folder, const std::string& name, int items, int artists) {
    const std::string path = MakeFolder(folder, name);
    if (!WriteWholeFile(path + "tune.crate", ArtistsDatabase(items, artists)))
        throw std::runtime_error("cannot write a library into " + path);
    return path;
}

// 'tcrate-inspect read' of the files into a fresh data folder, its output thrown away.
double TimeInspectRead(const std::string& dataFolder, const TCorpus& corpus, std::ostream& err) {
    std::vector<std::string> args{"--data-dir", dataFolder};
    for (const TCorpusFile& file : corpus.files) args.push_back(file.path);
    std::ostream nowhere(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const int status = InspectRead(args, nowhere, err);
    const double took = MillisecondsSince(start);
    if (status != 0) throw std::runtime_error("tcrate-inspect read failed");
    return took;
}

// The folder command in a fresh window, into its empty library.
double TimeAddFolder(const std::string& dataFolder, const TCorpus& corpus, TBenchDesktop& desktop) {
    const auto window = OpenWindow(dataFolder, desktop);
    const auto start = std::chrono::steady_clock::now();
    window->Edit().ToolButton6Click();
    const double took = MillisecondsSince(start);
    if (window->Library()->Count() != static_cast<int>(corpus.files.size()))
        throw std::runtime_error("the folder's files were not all added");
    return took;
}

// A box of one artist holding every item, deleted from the tree.
double TimeDeleteBox(const TBenchFolder& folder, TBenchDesktop& desktop) {
    const auto window = OpenWindow(LibraryFolder(folder, "delete", kBoxItems, 1), desktop);
    QTreeWidgetItem* all = window->Tree()->topLevelItem(0);
    OpenNode(*window, all->child(0));
    window->Tree()->setFocus();
    if (!window->Tree()->hasFocus()) throw std::runtime_error("the tree does not take the focus");
    desktop.dialogs.confirm = true;
    const auto start = std::chrono::steady_clock::now();
    window->Edit().ToolButton9Click();
    const double took = MillisecondsSince(start);
    desktop.dialogs.confirm = false;
    if (window->Library()->Count() != 0 || all->childCount() != 0) throw std::runtime_error("the box was not deleted");
    return took;
}

// Every row of one artist's box cut, and pasted on another artist's node.
double TimePaste(TtcrateFormMain& window) {
    QTreeWidgetItem* all = window.Tree()->topLevelItem(0);
    OpenNode(window, window.BoxTree().FindNodeByCaption(all, "Artist 0"));
    const TTrackListModel& model = window.TrackList().Model();
    window.ListView()->selectionModel()->select(
        QItemSelection(model.index(0, 0), model.index(model.rowCount() - 1, 0)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    window.Edit().Cut2Click();
    if (window.Edit().CutItems().size() != std::size_t{kPastedRows}) throw std::runtime_error("the rows were not cut");
    OpenNode(window, window.BoxTree().FindNodeByCaption(all, "Artist 1"));
    const auto start = std::chrono::steady_clock::now();
    window.Edit().Paste3Click();
    const double took = MillisecondsSince(start);
    const TBOX* target = window.Library()->AllItemsBox.FindChild("Artist 1");
    if (target == nullptr || target->ItemCount() != 2 * kPastedRows) throw std::runtime_error("the rows were not pasted");
    return took;
}

// Every item of the all-items box into the favourites.
double TimeFavourites(TtcrateFormMain& window) {
    OpenNode(window, window.Tree()->topLevelItem(0));
    const auto start = std::chrono::steady_clock::now();
    window.Edit().AddtoMYFavour1Click();
    const double took = MillisecondsSince(start);
    std::vector<TMObj*> favourites;
    if (window.Library()->FavouritesBox.CollectItems(favourites) != kBoxItems)
        throw std::runtime_error("the items did not all become favourites");
    return took;
}

int RunEditBench(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::optional<TBenchOptions> options = ParseBenchOptions(args, "edit", "--files", 10000, kMaxFiles, kUsage, out, err);
    if (!options) return 2;
    if (options->help) return 0;

    const TBenchFolder folder;
    const std::string root = MakeFolder(folder, "corpus");
    const TCorpus corpus = GenerateCorpus(root, options->count);
    FlushToDisk(root);
    TBenchDesktop desktop;

    // In turn, so that what the file system does meanwhile (writing back,
    // reusing what an earlier run deleted) weighs on both alike.
    desktop.dialogs.folder = QString::fromStdString(root);
    double addMs = std::numeric_limits<double>::infinity(), inspectMs = addMs;
    for (int run = 0; run < kRuns; ++run) {
        const std::string name = std::to_string(run);
        inspectMs = std::min(inspectMs, TimeInspectRead(MakeFolder(folder, "inspect-" + name), corpus, err));
        addMs = std::min(addMs, TimeAddFolder(MakeFolder(folder, "add-" + name), corpus, desktop));
    }
    const double deleteBox = TimeDeleteBox(folder, desktop);
    double paste = 0, favourites = 0;
    {
        const auto window = OpenWindow(LibraryFolder(folder, "paste", kBoxItems, kBoxItems / kPastedRows), desktop);
        paste = TimePaste(*window);
        favourites = TimeFavourites(*window);
    }

    char line[512];
    if (options->json) {
        std::snprintf(line, sizeof line,
                      "{\"files\": %zu, \"add_folder_ms\": %.1f, \"inspect_read_ms\": %.1f, \"delete_box_ms\": %.1f, "
                      "\"paste_10000_ms\": %.1f, \"favourites_ms\": %.1f}\n",
                      corpus.files.size(), addMs, inspectMs, deleteBox, paste, favourites);
        out << line;
        return 0;
    }
    std::snprintf(line, sizeof line,
                  "files %zu (corpus %lld MB; add folder and inspect read the best of %d, warm cache)\n"
                  "add folder   %9.1f ms   %.2f x inspect read (1.25 at most)\n"
                  "inspect read %9.1f ms   the same files, output thrown away\n"
                  "delete box   %9.1f ms   a box of %d items, from the tree\n"
                  "paste        %9.1f ms   %d rows onto another artist's node\n"
                  "favourites   %9.1f ms   the all-items box of %d items\n",
                  corpus.files.size(), static_cast<long long>(corpus.bytes / 1048576), kRuns, addMs, addMs / inspectMs,
                  inspectMs, deleteBox, kBoxItems, paste, kPastedRows, favourites, kBoxItems);
    out << line;
    return 0;
}

} // namespace

int main(int argc, char** argv) { return RunOffscreen(argc, argv, kEditBenchProgram, RunEditBench); }
