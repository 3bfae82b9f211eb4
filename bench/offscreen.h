#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "platform/mixer.h"
#include "playback/tray.h"
#include "ui/dialogs.h"

class QTreeWidgetItem;
class TBOX;
class TtcrateFormMain;

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

// Dialogs that answer at once: Confirm with `confirm`, the file dialogs
// with the names set (cancelled while empty); errors are counted.
class TBenchDialogs final : public TDialogs {
public:
    void Error(QWidget*, const QString&) override { ++errors; }
    bool Confirm(QWidget*, const QString&) override { return confirm; }
    int Choose(QWidget*, const QString&, const QStringList& buttons) override {
        ++errors;
        return static_cast<int>(buttons.size()) - 1;
    }
    QStringList OpenFiles(QWidget*, const QString&, const QString&) override { return openFiles; }
    QString SaveFile(QWidget*, const QString&, const QString&) override { return saveFile; }
    QString Folder(QWidget*, const QString&) override { return folder; }

    bool confirm = false;
    QString folder;
    QStringList openFiles;
    QString saveFile;
    int errors = 0;
};

// A sound card without volume controls.
class TNoMixer final : public TMixer {
public:
    TMixerResult GetMasterVolume(int, uint32_t&) override { return TMixerResult::NoMixer; }
    TMixerResult SetMasterVolume(int, uint16_t) override { return TMixerResult::NoMixer; }
};

// A desktop without a notification area.
class TNoTrayIcon final : public TTrayIcon {
public:
    bool Add() override { return false; }
    void Remove() override {}
    void SetTip(const QString&) override {}
    void SetMenu(QMenu*) override {}
};

// What the main window meets instead of a user and a desktop.
struct TBenchDesktop {
    TBenchDialogs dialogs;
    TNoMixer mixer;
    TNoTrayIcon tray;
};

// The list shows the box: its build has ended and the rows are the box's.
bool Lists(const TtcrateFormMain& window, const TBOX& box);

// The main window over the library in dataFolder, made and not yet shown.
std::unique_ptr<TtcrateFormMain> MakeWindow(const std::string& dataFolder, TBenchDesktop& desktop);

// The main window over the library in dataFolder, shown and active, once
// it has listed the box its start-up opens (a timer opens it).
std::unique_ptr<TtcrateFormMain> OpenWindow(const std::string& dataFolder, TBenchDesktop& desktop);

// Opens a node as a click does, until the list shows its box.
void OpenNode(TtcrateFormMain& window, QTreeWidgetItem* node);

// A library database ("tune.crate") of `items` MPEG items, item i of the
// stored text record(i); the all-items box has the tree text allItemsTree,
// the favourites are sorted by artist, the playlist by playlistKey.
std::string LibraryDatabase(int items, const std::function<std::string(int)>& record,
                            const std::string& playlistKey = "year",
                            const std::string& allItemsTree = "root.Name=Tunecrate\r\nroot.Type=artist\r\n");

// A library database ("tune.crate") of `items` items, item i by the artist
// "Artist <i % artists>"; the all-items box and the favourites are sorted by
// artist, the playlist by year.
std::string ArtistsDatabase(int items, int artists);
