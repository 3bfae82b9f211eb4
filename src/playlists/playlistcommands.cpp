#include "playlists/playlistcommands.h"

#include <QFileInfo>

#include "browser/boxtree.h"
#include "browser/editcommands.h"
#include "browser/mainwindow.h"
#include "browser/tracklistctl.h"
#include "browser/wait.h"
#include "core/box.h"
#include "core/bytesource.h"
#include "core/fileio.h"
#include "core/library.h"
#include "core/paths.h"
#include "media/mobj.h"
#include "playlists/playlistfile.h"
#include "ui/dialogs.h"

namespace {

constexpr const char* kPlaylistFilter = "M3U Playlist(*.m3u)|*.m3u|WPL Playlist(*.wpl)|*.wpl";

} // namespace

TPlaylistCommands::TPlaylistCommands(TtcrateFormMain& window) : QObject(&window), window_(window) {}

void TPlaylistCommands::Open1Click() {
    TTUNECRATE* library = window_.Library();
    TBOX* box = TBoxTreeController::BoxOf(window_.BoxTree().SelectedNode());
    if (library == nullptr || box == nullptr || window_.Edit().Busy()) return;
    const QStringList chosen = window_.Dialogs().OpenFiles(&window_, "Load Playlist", kPlaylistFilter);
    if (chosen.isEmpty()) return;
    const std::string fileName = chosen.first().toStdString();
    const TPlaylistKind kind = PlaylistKind(fileName);
    // The whole file is read before the box changes: a file that cannot be
    // read leaves the box as it was.
    std::string bytes;
    if (kind == TPlaylistKind::None || !ReadWholeFile(fileName, bytes)) {
        window_.Dialogs().Error(&window_, "装载播放列表失败 !");
        return;
    }
    TMemorySource source(bytes);
    const std::vector<std::string> entries = ReadPlaylistEntries(kind, source);
    const std::string folder = WithTrailingSlash(QFileInfo(chosen.first()).absolutePath().toStdString());
    window_.Edit().Change([&] {
        box->ClearItems();
        for (const std::string& entry : entries) {
            if (TMObj* item = FindPlaylistEntry(*library, entry, folder)) {
                RefreshPlaylistItem(*item);
                box->AddItem(item);
            }
        }
    });
    window_.BoxTree().RefreshSelectedNode();
    window_.TrackList().StartViewBuild();
}

void TPlaylistCommands::Save1Click() {
    TBOX* box = TBoxTreeController::BoxOf(window_.BoxTree().SelectedNode());
    if (window_.Library() == nullptr || box == nullptr || window_.Edit().Busy()) return;
    const QString chosen = window_.Dialogs().SaveFile(&window_, "Save Playlist", kPlaylistFilter);
    if (chosen.isEmpty()) return;
    const std::string fileName = chosen.toStdString();
    const TPlaylistKind kind = PlaylistKind(fileName);
    std::vector<TMObj*> items;
    box->CollectItems(items);
    std::vector<std::string> names;
    names.reserve(items.size());
    for (const TMObj* item : items) names.push_back(item->GetFileName());
    // A name of another ending saves nothing, and says so.
    if (kind == TPlaylistKind::None || !ReplaceFileContents(fileName, PlaylistText(kind, names)))
        window_.Dialogs().Error(&window_, "Save playlist failure !");
}

void TPlaylistCommands::Copyfiles1Click() {
    TBOX* box = TBoxTreeController::BoxOf(window_.BoxTree().SelectedNode());
    TEditCommands& edit = window_.Edit();
    if (window_.Library() == nullptr || box == nullptr || edit.Busy()) return;
    const QString chosen = window_.Dialogs().Folder(&window_, "Select folder");
    if (chosen.isEmpty()) return;
    const std::string folder = WithTrailingSlash(chosen.toStdString());
    std::vector<TMObj*> items;
    box->CollectItems(items);
    TFileCopier copier(folder);
    QStringList failed;
    edit.RunWithWait("正在复制文件到 ...", static_cast<int>(items.size()), [&](TFormWait& wait) {
        for (const TMObj* item : items) {
            const std::string source = item->GetFileName();
            wait.StepFile(QString::fromStdString(FileNamePart(source)));
            std::string error;
            if (!copier.Copy(source, &error))
                failed << QString::fromStdString(source) + " (" + QString::fromStdString(error) + ")";
        }
    });
    edit.ReportFailures("无法复制到 " + QString::fromStdString(folder), failed);
}
