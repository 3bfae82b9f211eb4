#include "offscreen.h"

#include <QApplication>
#include <QTimer>
#include <QTreeWidget>
#include <exception>
#include <iostream>
#include <stdexcept>

#include "browser/boxtree.h"
#include "browser/mainwindow.h"
#include "browser/tracklist.h"
#include "browser/tracklistctl.h"
#include "core/box.h"
#include "core/database.h"
#include "core/library.h"
#include "core/paths.h"

int RunOffscreen(int argc, char** argv, const char* program, TBenchCommand run) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const QApplication app(argc, argv);
    std::ios::sync_with_stdio(false);
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << program << ": " << e.what() << '\n';
        return 1;
    }
}

std::string LibraryDatabase(int items, const std::function<std::string(int)>& record, const std::string& playlistKey,
                            const std::string& allItemsTree) {
    TDatabaseWriter out;
    out.Integer(107);
    out.String("");
    out.String("");
    out.Integer(items);
    for (int i = 0; i < items; ++i) {
        out.String(".mp3");
        out.String(record(i));
    }
    for (int list = 0; list < 4; ++list) out.Integer(0); // favourites, playlist, now playing, its index
    out.String(allItemsTree);
    out.String("root.Name=我的最爱\r\nroot.Type=artist\r\n");
    out.String("root.Name=播放列表\r\nroot.Type=" + playlistKey + "\r\n");
    return out.Bytes();
}

std::string ArtistsDatabase(int items, int artists) {
    return LibraryDatabase(items, [artists](int i) {
        return "filename=/m/" + std::to_string(i) + ".mp3\r\nTPE1=Artist " + std::to_string(i % artists) + "\r\n";
    });
}

// The list shows the box: its build has ended and the rows are the box's.
bool Lists(const TtcrateFormMain& window, const TBOX& box) {
    const TTrackListModel& model = window.TrackList().Model();
    if (window.TrackList().Building() || model.rowCount() != box.ChildCount() + box.ItemCount()) return false;
    if (model.rowCount() == 0) return true;
    const TTrackRow& first = model.Row(0);
    return first.box != nullptr ? first.box->Parent() == &box : box.Contains(first.item);
}

// The main window over the library in dataFolder, shown and active, once
// it has listed the box its start-up opens (a timer opens it).
std::unique_ptr<TtcrateFormMain> MakeWindow(const std::string& dataFolder, TBenchDesktop& desktop) {
    TMainWindowSetup setup{dataFolder, ResourceFolder(), {}, &desktop.dialogs, nullptr};
    setup.output = "null";
    setup.mixer = &desktop.mixer;
    setup.trayIcon = &desktop.tray;
    return std::make_unique<TtcrateFormMain>(std::move(setup));
}

std::unique_ptr<TtcrateFormMain> OpenWindow(const std::string& dataFolder, TBenchDesktop& desktop) {
    auto window = MakeWindow(dataFolder, desktop);
    window->show();
    window->activateWindow();
    bool started = false;
    QTimer::singleShot(200, window.get(), [&] { started = true; });
    ServeUntil([&] {
        return started && window->isActiveWindow() &&
               Lists(*window, *TBoxTreeController::BoxOf(window->BoxTree().SelectedNode()));
    });
    return window;
}

// Opens a node as a click does, until the list shows its box.
void OpenNode(TtcrateFormMain& window, QTreeWidgetItem* node) {
    if (node == nullptr) throw std::runtime_error("a box of the library has no node");
    window.Tree()->setCurrentItem(node);
    window.BoxTree().TreeView1Click();
    ServeUntil([&] { return Lists(window, *TBoxTreeController::BoxOf(node)); });
}
