#include "startup_bench.h"

#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <limits>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "browser/boxtree.h"
#include "browser/mainwindow.h"
#include "core/box.h"
#include "core/fileio.h"
#include "core/library.h"
#include "corpus.h"
#include "offscreen.h"
#include "options.h"
#include "timing.h"

namespace {

constexpr int kMaxItems = 2000000;
constexpr int kRuns = 3;

constexpr const char* kUsage =
    "usage: tcrate-bench startup [--items N] [--json]\n"
    "       (run as tcrate-bench-startup, which tcrate-bench hands the command to)\n"
    "\n"
    "Starts the main window offscreen as a program of its own over a library of\n"
    "N items (N/100 artists, 30 years, 7 albums each), with the tree restored to\n"
    "an album box three levels deep, and times (fastest of 3 runs):\n"
    "  start     from the process's start until the album's list is shown\n"
    "  shutdown  closing the window: the library and the settings written,\n"
    "            each flushed to disk\n"
    "and the memory the window holds at rest per item, beyond the items' text\n"
    "(against a start over an empty library). The plain read of the database\n"
    "file is the floor the start is compared with.\n"
    "\n"
    "options:\n"
    "  --items N  number of items, 1 to 2000000 (default 100000)\n"
    "  --json     print one JSON object: items, start_ms, shutdown_ms,\n"
    "             bytes_per_item, read_floor_ms\n";

// The child's own flag: it runs the window over the folder given.
constexpr const char* kChildFlag = "--window";

std::string Artist(int i, int items) { return "Artist " + std::to_string(i % std::max(1, items / 100)); }
std::string Year(int i) { return std::to_string(1990 + i % 30); }
std::string Album(int i) { return "Album " + std::to_string(i % 7); }

std::string Record(int i, int items) {
    return "filename=/music/" + std::to_string(i) + ".mp3\r\nTIT2=Title " + std::to_string(i) + "\r\nTPE1=" +
           Artist(i, items) + "\r\nTALB=" + Album(i) + "\r\nTYER=" + Year(i) + "\r\nTCON=Pop\r\nTC_BR=192\r\n" +
           "TC_SIZE=" + std::to_string(3000000 + i) + "\r\n";
}

// The child: the window over the folder, from the process's start until the
// list shows the restored box; then at rest; then closed. Prints
// "start_ms resident_bytes shutdown_ms".
int RunWindow(const std::string& folder, std::ostream& out) {
    TBenchDesktop desktop;
    const auto window = MakeWindow(folder, desktop);
    window->show();
    // The album box three levels down; the all-items box of an empty library.
    const bool empty = window->Library() == nullptr || window->Library()->Count() == 0;
    ServeUntil([&] {
        const QTreeWidgetItem* node = window->BoxTree().SelectedNode();
        const bool deep = node != nullptr && node->parent() != nullptr && node->parent()->parent() != nullptr;
        return node != nullptr && (deep || empty) && Lists(*window, *TBoxTreeController::BoxOf(node));
    });
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    const struct timespec started = ProcessStartTime();
    const double start = static_cast<double>(now.tv_sec - started.tv_sec) * 1000.0 +
                         static_cast<double>(now.tv_nsec - started.tv_nsec) / 1e6;
    // At rest: what the start made and freed has settled.
    const auto restUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < restUntil) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const int64_t resident = ResidentBytes();
    const auto closing = std::chrono::steady_clock::now();
    window->close();
    const double shutdown = MillisecondsSince(closing);
    if (window->Library() != nullptr || desktop.dialogs.errors != 0) throw std::runtime_error("the window did not close cleanly");
    out << start << ' ' << resident << ' ' << shutdown << '\n';
    return 0;
}

struct TStartFigures {
    double start = 0;
    int64_t resident = 0;
    double shutdown = 0;
};

// Runs the window in a program of its own, this one started anew.
TStartFigures StartWindow(const std::string& folder) {
    int pipe[2];
    if (::pipe(pipe) != 0) throw std::runtime_error("cannot make a pipe");
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipe[1], STDOUT_FILENO);
        close(pipe[0]);
        close(pipe[1]);
        execl("/proc/self/exe", kStartupBenchProgram, kChildFlag, folder.c_str(), nullptr);
        _exit(127);
    }
    close(pipe[1]);
    std::string output;
    char buffer[256];
    for (ssize_t n; (n = read(pipe[0], buffer, sizeof buffer)) > 0;) output.append(buffer, static_cast<std::size_t>(n));
    close(pipe[0]);
    int status = 0;
    waitpid(child, &status, 0);
    TStartFigures figures;
    std::istringstream fields(output);
    if (child < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        !(fields >> figures.start >> figures.resident >> figures.shutdown))
        throw std::runtime_error("the window's program failed");
    return figures;
}

// The fastest start and shut-down of some runs, and the memory of the last.
TStartFigures BestStart(const std::string& folder) {
    TStartFigures best{std::numeric_limits<double>::infinity(), 0, std::numeric_limits<double>::infinity()};
    for (int run = 0; run < kRuns; ++run) {
        const TStartFigures figures = StartWindow(folder);
        best.start = std::min(best.start, figures.start);
        best.shutdown = std::min(best.shutdown, figures.shutdown);
        best.resident = figures.resident;
    }
    return best;
}

int RunStartupBench(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 2 && args[0] == kChildFlag) return RunWindow(args[1], out);
    const std::optional<TBenchOptions> options =
        ParseBenchOptions(args, "startup", "--items", 100000, kMaxItems, kUsage, out, err);
    if (!options) return 2;
    if (options->help) return 0;
    const int items = options->count;

    // The album box of item 0, three levels below the all-items box, each
    // level on its way sorted for the next.
    const std::string artist = Artist(0, items), year = Year(0), album = Album(0);
    const std::string tree = "root.Name=Tunecrate\r\nroot.Type=artist\r\nroot." + artist + "=year\r\nroot." + artist +
                             "." + year + "=album\r\n";
    const std::string settings = "selected.level=3\r\nselected.box0=Tunecrate\r\nselected.box1=" + artist +
                                 "\r\nselected.box2=" + year + "\r\nselected.box3=" + album + "\r\nselected.expanded=true\r\n";
    int64_t textBytes = 0;
    const std::string database = LibraryDatabase(
        items,
        [&](int i) {
            std::string record = Record(i, items);
            textBytes += static_cast<int64_t>(record.size());
            return record;
        },
        "year", tree);

    const TBenchFolder full, empty;
    for (const TBenchFolder* folder : {&full, &empty})
        if (!WriteWholeFile(folder->Path() + "box.ini", settings))
            throw std::runtime_error("cannot write the settings in " + folder->Path());
    if (!WriteWholeFile(full.Path() + "tune.crate", database)) throw std::runtime_error("cannot write the library");

    std::string bytes;
    const double readFloor = BestOf(kRuns, [&] { return ReadWholeFile(full.Path() + "tune.crate", bytes) ? 0 : 1; }).seconds * 1000.0;
    const TStartFigures withItems = BestStart(full.Path());
    const TStartFigures without = StartWindow(empty.Path());
    const double perItem = static_cast<double>(withItems.resident - without.resident - textBytes) / items;

    char line[768];
    if (options->json) {
        std::snprintf(line, sizeof line,
                      "{\"items\": %d, \"start_ms\": %.1f, \"shutdown_ms\": %.1f, \"bytes_per_item\": %.0f, "
                      "\"read_floor_ms\": %.1f}\n",
                      items, withItems.start, withItems.shutdown, perItem, readFloor);
        out << line;
        return 0;
    }
    std::snprintf(line, sizeof line,
                  "items %d (the fastest of %d runs)\n"
                  "start          %8.1f ms   process start to the album's list (budget 1000 ms)\n"
                  "               %8.1f ms   the same over an empty library\n"
                  "read floor     %8.1f ms   reading the database file (%.1f MB)\n"
                  "shutdown       %8.1f ms   library and settings written and flushed (budget 1500 ms)\n"
                  "bytes_per_item %8.0f      at rest, beyond %.0f bytes of text per item (budget 1024)\n",
                  items, kRuns, withItems.start, without.start, readFloor, static_cast<double>(bytes.size()) / 1e6,
                  withItems.shutdown, perItem, static_cast<double>(textBytes) / items);
    out << line;
    return 0;
}

} // namespace

int main(int argc, char** argv) { return RunOffscreen(argc, argv, kStartupBenchProgram, RunStartupBench); }
