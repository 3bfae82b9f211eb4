#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <iosfwd>
#include <string>
#include <vector>

#include "ui/dialogs.h"

// What the benchmarks of windows share. They need Qt, which tcrate-bench does
// without, so each is a program of its own beside tcrate-bench, which hands
// its command over.

using TBenchCommand = int (*)(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The program's main(): the offscreen platform unless QT_QPA_PLATFORM names
// another, the application, and `run` with the arguments after the name.
int RunOffscreen(int argc, char** argv, const char* program, TBenchCommand run);

// Serves the window's thread until done() holds.
template <typename Done>
void ServeUntil(Done&& done) {
    while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Dialogs that answer at once: Confirm with `confirm`, Folder with `folder`,
// the file dialogs as cancelled; errors go unseen.
class TBenchDialogs final : public TDialogs {
public:
    void Error(QWidget*, const QString&) override {}
    bool Confirm(QWidget*, const QString&) override { return confirm; }
    QStringList OpenFiles(QWidget*, const QString&, const QString&) override { return {}; }
    QString SaveFile(QWidget*, const QString&, const QString&) override { return {}; }
    QString Folder(QWidget*, const QString&) override { return folder; }

    bool confirm = false;
    QString folder;
};

// A library database ("tune.crate") of `items` items, item i by the artist
// "Artist <i % artists>"; the all-items box and the favourites are sorted by
// artist, the playlist by year.
std::string ArtistsDatabase(int items, int artists);
