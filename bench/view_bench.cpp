#include "view_bench.h"

#include <QAction>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <limits>
#include <memory>
#include <ostream>
#include <shared_mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "browser/boxtree.h"
#include "browser/mainwindow.h"
#include "browser/tracklist.h"
#include "browser/tracklistctl.h"
#include "browser/viewbuilder.h"
#include "core/box.h"
#include "core/fileio.h"
#include "core/library.h"
#include "core/tempfolder.h"
#include "media/mediaenv.h"
#include "media/mp3tag.h"
#include "offscreen.h"
#include "options.h"
#include "timing.h"

namespace {

constexpr int kMaxItems = 2000000;
constexpr int kRuns = 5;
constexpr int kRefreshBoxes = 10000;

constexpr const char* kUsage =
    "usage: tcrate-bench view [--items N] [--json]\n"
    "       (run as tcrate-bench-view, which tcrate-bench hands the command to)\n"
    "\n"
    "Lists boxes on the view builder's thread, offscreen, and times until the\n"
    "window's thread has every row (fastest of 5 runs):\n"
    "  build items  a box of N items of its own\n"
    "  build boxes  a box of N/10 child boxes\n"
    "  switch       a new request made while a box of N items is being listed,\n"
    "               until the new build starts on the window's thread\n"
    "and times header clicks on that list (sort_size_ms, sort_artist_ms) and,\n"
    "in the main window, Ctrl+T on a box of 10000 artists: the re-sort and the\n"
    "refresh of its tree node, until the tree is drawn again (refresh_10000_ms).\n"
    "\n"
    "options:\n"
    "  --items N  number of items, 1 to 2000000 (default 100000)\n"
    "  --json     print one JSON object: items, build_items_ms, build_boxes_ms,\n"
    "             switch_ms, sort_size_ms, sort_artist_ms, refresh_10000_ms\n";

// Takes the rows on the window's thread as the window does: signals of older
// builds are dropped, a start clears the list and stops its repainting, the
// rows go into the track list's model, and the end sorts by title.
class TRowSink {
public:
    explicit TRowSink(const TCreateViewThread& builder) : builder_(builder) {
        for (const TColumnDef& column : ColumnSet())
            if (column.shownByDefault) model.AppendColumn(QString::fromUtf8(column.caption));
        view_.setModel(&model);
        view_.setUniformRowHeights(true);
        view_.resize(800, 600);
        view_.show();
        QObject::connect(&builder, &TCreateViewThread::BuildStarted, &context_, [this](quint64 build) {
            if (Stale(build)) return;
            started = build;
            view_.setUpdatesEnabled(false);
            model.Clear();
        }, Qt::QueuedConnection);
        QObject::connect(&builder, &TCreateViewThread::RowsReady, &context_, [this](quint64 build, const TTrackRows& batch) {
            if (!Stale(build)) model.Append(batch);
        }, Qt::QueuedConnection);
        QObject::connect(&builder, &TCreateViewThread::BuildFinished, &context_, [this](quint64 build) {
            if (Stale(build)) return;
            view_.setUpdatesEnabled(true);
            model.Sort(0);
            finished = build;
        }, Qt::QueuedConnection);
    }

    quint64 started = 0;
    quint64 finished = 0;
    TTrackListModel model;

private:
    bool Stale(quint64 build) const { return build < builder_.CurrentBuild(); }

    const TCreateViewThread& builder_;
    QObject context_;
    QTreeView view_;
};

// From the request to the last row and the end on the window's thread.
TPassTiming TimeBuild(TCreateViewThread& builder, TRowSink& sink, TBOX& box, qsizetype rows) {
    return BestOf(kRuns, [&] {
        builder.RequestBuild(&box);
        const quint64 build = builder.CurrentBuild();
        ServeUntil([&] { return sink.finished == build; });
        return sink.model.rowCount() == rows ? 0 : 1;
    });
}

// From a request made while the large box is being listed to the new build's
// start on the window's thread, the old build having given way.
double TimeSwitch(TCreateViewThread& builder, TRowSink& sink, TBOX& large, TBOX& other) {
    std::atomic<quint64> listing{0};
    const QObject probe;
    QObject::connect(&builder, &TCreateViewThread::RowsReady, &probe,
                     [&](quint64 build) { listing = build; }, Qt::DirectConnection);
    double best = std::numeric_limits<double>::infinity();
    for (int run = 0; run < kRuns; ++run) {
        builder.RequestBuild(&large);
        const quint64 old = builder.CurrentBuild();
        while (listing.load() != old) std::this_thread::yield();
        const auto start = std::chrono::steady_clock::now();
        builder.RequestBuild(&other);
        const quint64 next = builder.CurrentBuild();
        ServeUntil([&] { return sink.started == next; });
        best = std::min(best, MillisecondsSince(start));
        ServeUntil([&] { return sink.finished == next; });
    }
    return best;
}

// Ctrl+T on the all-items root of the main window, shown: the box is sorted
// again, the nodes of its old child boxes go, one per new box comes, the tree
// is sorted and drawn.
double TimeRefresh(int boxes) {
    const TTemporaryFolder data("tcrate-bench-view-");
    // One item per artist: the all-items box has that many children.
    if (data.Path().empty() || !WriteWholeFile(data.Path() + "tune.crate", ArtistsDatabase(boxes, boxes)))
        throw std::runtime_error("cannot write a library into a temporary folder");
    TBenchDialogs dialogs;
    TtcrateFormMain window({data.Path(), data.Path(), {}, &dialogs, nullptr});
    window.show();
    QCoreApplication::processEvents();
    QTreeWidgetItem* root = window.Tree()->topLevelItem(0);
    window.Tree()->setCurrentItem(root);
    root->setExpanded(true);
    double best = std::numeric_limits<double>::infinity();
    for (int run = 0; run < kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        window.Action("SortbyArtist1")->trigger();
        window.Tree()->viewport()->repaint();
        best = std::min(best, MillisecondsSince(start));
        if (root->childCount() != boxes) throw std::runtime_error("the refresh lost nodes");
        // The list the command asked for, before the next run.
        ServeUntil([&] { return !window.TrackList().Building() && window.TrackList().Model().rowCount() == boxes; });
    }
    return best;
}

int RunViewBench(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::optional<TBenchOptions> options = ParseBenchOptions(args, "view", "--items", 100000, kMaxItems, kUsage, out, err);
    if (!options) return 2;
    if (options->help) return 0;
    const int items = options->count;
    const int artists = std::max(1, items / 10);

    const TMediaEnvironment env("/tmp/", "GB18030");
    std::vector<std::unique_ptr<TMP3Tag>> owned;
    owned.reserve(static_cast<std::size_t>(items));
    TBOX flat;
    TBOX byArtist("artist");
    for (int i = 0; i < items; ++i) {
        auto item = std::make_unique<TMP3Tag>(env);
        item->LoadFromText("filename=/m/" + std::to_string(i) + ".mp3\r\nTIT2=Track " + std::to_string(i * 7919 % items) +
                           "\r\nTPE1=Artist " + std::to_string(i % artists) + "\r\nTC_BR=128\r\nTC_SIZE=" +
                           std::to_string(3000000 + i * 7 % 100000) + "\r\n");
        flat.AddItem(item.get());
        byArtist.AddItem(item.get());
        owned.push_back(std::move(item));
    }

    std::shared_mutex libraryLock;
    TCreateViewThread builder(libraryLock);
    TRowSink sink(builder);
    const TPassTiming buildItems = TimeBuild(builder, sink, flat, items);
    const TPassTiming buildBoxes = TimeBuild(builder, sink, byArtist, byArtist.ChildCount());
    const double switchAway = TimeSwitch(builder, sink, flat, *byArtist.GetChild(0));
    // A header click on a number column and on a text column of the large list.
    TimeBuild(builder, sink, flat, items);
    const auto sortBy = [&](const char* caption) {
        return BestOf(kRuns, [&] {
            sink.model.ClickColumn(sink.model.FindColumn(QString::fromUtf8(caption)));
            return 0;
        }).seconds * 1000;
    };
    const double sortSize = sortBy("大小");
    const double sortArtist = sortBy("表演者");
    const double refresh = TimeRefresh(kRefreshBoxes);
    if (buildItems.failures || buildBoxes.failures) {
        err << "tcrate-bench view: rows went missing\n";
        return 1;
    }

    char line[512];
    if (options->json) {
        std::snprintf(line, sizeof line,
                      "{\"items\": %d, \"build_items_ms\": %.2f, \"build_boxes_ms\": %.2f, \"switch_ms\": %.3f, "
                      "\"sort_size_ms\": %.1f, \"sort_artist_ms\": %.1f, \"refresh_10000_ms\": %.1f}\n",
                      items, buildItems.seconds * 1000, buildBoxes.seconds * 1000, switchAway, sortSize, sortArtist,
                      refresh);
        out << line;
        return 0;
    }
    std::snprintf(line, sizeof line,
                  "items %d\n"
                  "build items  %9.2f ms   %d rows, from the request to the list sorted by title\n"
                  "build boxes  %9.2f ms   %d child boxes\n"
                  "switch       %9.3f ms   from a new request during the build of %d items to its start\n"
                  "sort size    %9.1f ms   a header click on a number column of %d rows\n"
                  "sort artist  %9.1f ms   a header click on a text column\n"
                  "refresh      %9.1f ms   Ctrl+T on a box of %d artists, until the tree is drawn\n",
                  items, buildItems.seconds * 1000, items, buildBoxes.seconds * 1000, byArtist.ChildCount(), switchAway,
                  items, sortSize, items, sortArtist, refresh, kRefreshBoxes);
    out << line;
    return 0;
}

} // namespace

int main(int argc, char** argv) { return RunOffscreen(argc, argv, kViewBenchProgram, RunViewBench); }
