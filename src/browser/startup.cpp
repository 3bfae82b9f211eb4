// The main window's start-up and shut-down: the order in which the stores
// are made and written, and the window state kept between runs.
#include <QAction>
#include <QFileInfo>
#include <QStatusBar>
#include <QToolTip>
#include <QTreeWidget>
#include <shared_mutex>

#include "browser/boxtree.h"
#include "browser/editcommands.h"
#include "browser/infopanel.h"
#include "browser/tracklist.h"
#include "browser/tracklistctl.h"
#include "browser/mainwindow.h"
#include "core/box.h"
#include "core/library.h"
#include "core/plugins.h"
#include "core/sysinfo.h"
#include "media/itemwindows.h"
#include "media/mediaenv.h"
#include "media/tagwriter.h"
#include "playback/mpris.h"
#include "playback/playcontrol.h"
#include "playback/xaudioplayer.h"
#include "search/formsearch.h"
#include "ui/dialogs.h"
#include "ui/skin.h"

void TtcrateFormMain::FormCreate() {
    QPalette hints = QToolTip::palette();
    hints.setColor(QPalette::ToolTipBase, QColor(kHintColour));
    QToolTip::setPalette(hints);
    creating_ = true;
    settings_ = std::make_unique<TSysInfo>(setup_.dataFolder);
    environment_ = std::make_unique<TMediaEnvironment>(setup_.dataFolder, settings_->ReadSetting(kTagsCodepageKey));
    itemWindows_ = std::make_unique<TQtItemWindows>(
        Dialogs(), this, QString::fromStdString(setup_.resourceFolder) + "tcrate.jpg", libraryLock_);
    environment_->Windows = itemWindows_.get();
    registry_ = std::make_unique<TPlugIns>(*environment_);
    playControl_->PlaceVolumeKnob();

    try {
        std::string skinFile = settings_->ReadString(kSkinKey);
        if (skinFile.empty()) skinFile = kDefaultSkin;
        UseSkin(QString::fromStdString(setup_.resourceFolder + skinFile));
        const std::pair<const char*, const char*> skinItems[] = {
            {"Clouds1", "Skins/Clouds/skin.ini"}, {"MacX1", "Skins/MacX/skin.ini"}, {"Wistler1", "Skins/Wistler/skin.ini"}};
        for (const auto& [item, path] : skinItems)
            if (skinFile == path) Action(item)->setChecked(true);

        trackList_->ApplyStoredColumns();

        library_ = std::make_unique<TTUNECRATE>(*registry_, settings_->DatabaseFileName(), settings_->BackupFileName());
        ReportDamage();
        boxTree_->SetLibrary(library_.get());
        for (const QString& file : setup_.files)
            if (QFileInfo(file).isFile()) library_->AddFile(QFileInfo(file).absoluteFilePath().toStdString());
        boxTree_->RefreshAllItemsBranch();
        boxTree_->RefreshFavouritesBranch();
        boxTree_->RefreshPlaylistBranch();
        RestoreSelection();

        const bool statusBarShown = settings_->ReadBool("statusbar", true);
        Action("StatusBar2")->setChecked(statusBarShown);
        statusBar()->setVisible(statusBarShown);
        setWindowTitle("Tunecrate(tcrate)");
        const QRect designed = geometry();
        resize(settings_->ReadInteger("frame.width", designed.width()),
               settings_->ReadInteger("frame.height", designed.height()));
        // Until a place is stored the window manager places the window: the
        // designed corner would put its title bar off the screen.
        if (!settings_->ReadString("frame.x").empty() || !settings_->ReadString("frame.y").empty())
            setGeometry(settings_->ReadInteger("frame.x", designed.x()), settings_->ReadInteger("frame.y", designed.y()),
                        width(), height());
        if (settings_->ReadString("frame.windowstate") == "Maximized") setWindowState(Qt::WindowMaximized);
        SetInfoHeight(settings_->ReadInteger(kInfoHeightKey, kDesignedInfoHeight));
    } catch (const std::exception& error) {
        // A database the program cannot read is left as it is.
        library_.reset();
        boxTree_->SetLibrary(nullptr);
        Dialogs().Error(this, QString::fromUtf8(error.what()));
    }

    timer1_.start();
    creating_ = false;
    trackList_->Model().SetDirectionFlag(0, false);
    boxTree_->RefreshNowPlayingBranch();
}

void TtcrateFormMain::ReportDamage() {
    const auto quoted = [](const std::string& path) { return "\"" + QString::fromStdString(path) + "\""; };
    const TLibraryLoadReport& report = library_->LoadReport();
    if (report.damaged || report.restoredFromBackup) {
        QString text = report.damaged ? QString("音乐库文件已损坏，只读出了 %1 首歌曲。").arg(report.itemsRead)
                                      : "音乐库文件 " + quoted(settings_->DatabaseFileName()) + " 无法完整读出，已从备份 " +
                                            quoted(settings_->BackupFileName()) + " 恢复。";
        for (const std::string& kept : report.keptAs) text += "\r损坏的文件已另存为 " + quoted(kept) + "。";
        if (!report.notMoved.empty())
            text += "\r无法移开损坏的文件 " + quoted(report.notMoved) + "，退出时不会保存音乐库。";
        Dialogs().Error(this, text);
    }
    std::string target;
    const std::string copy = PendingTagCopy(setup_.dataFolder, target);
    if (!copy.empty())
        Dialogs().Error(this, "写入标签时被中断，文件 " + quoted(target) + " 可能已损坏。\r完整的新文件保存在 " +
                                  quoted(copy) + "。");
}

void TtcrateFormMain::RestoreSelection() {
    QTreeWidgetItem* node = tree_->topLevelItem(0);
    tree_->setCurrentItem(node);
    const int level = settings_->ReadInteger("selected.level", 0);
    const bool expanded = settings_->ReadBool("selected.expanded", true);
    QTreeWidgetItem* previous = nullptr;
    for (int i = 0; i <= level; ++i) {
        const QString name = QString::fromStdString(settings_->ReadString("selected.box" + std::to_string(i)));
        QTreeWidgetItem* found = boxTree_->FindNodeByCaption(previous, name);
        if (found == nullptr) break;
        tree_->setCurrentItem(found);
        found->setExpanded(expanded);
        for (QTreeWidgetItem* above = found->parent(); above != nullptr; above = above->parent())
            above->setExpanded(expanded);
        previous = found;
    }
}

void TtcrateFormMain::SaveSelection() {
    QTreeWidgetItem* node = boxTree_->SelectedNode();
    if (node == nullptr) return;
    int level = 0;
    for (const QTreeWidgetItem* above = node->parent(); above != nullptr; above = above->parent()) ++level;
    settings_->WriteInteger("selected.level", level);
    settings_->WriteBool("selected.expanded", node->isExpanded());
    if (boxTree_->IsUnderNowPlaying(node)) return;
    for (const QTreeWidgetItem* step = node; step != nullptr; step = step->parent(), --level) {
        const TBOX* box = TBoxTreeController::BoxOf(step);
        settings_->WriteString("selected.box" + std::to_string(level), box != nullptr ? box->GetName() : "");
    }
}

void TtcrateFormMain::StoreWindowState() {
    const QRect frame = normalGeometry();
    settings_->WriteInteger("frame.x", frame.x());
    settings_->WriteInteger("frame.y", frame.y());
    settings_->WriteInteger("frame.width", frame.width());
    settings_->WriteInteger("frame.height", frame.height());
    settings_->WriteString("frame.windowstate", isMaximized() ? "Maximized" : "Normal");
    settings_->WriteInteger(kInfoHeightKey, infoHeight_);
    SaveSelection();
}

void TtcrateFormMain::SaveSession() {
    if (destroyed_) return;
    StoreWindowState();
    if (library_ != nullptr) {
        std::shared_lock reading(libraryLock_);
        library_->Save();
    }
    settings_->Save();
}

void TtcrateFormMain::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    timer1_.stop();
    trackList_->StopBuilder();
    StoreWindowState();
    panelFile_->ForgetCurrentItem();
    edit_->Forget();
    // The search worker reads the library: it ends (after its search) first.
    if (search_ != nullptr) search_->Forget();
    mpris_.reset();
    playControl_->ForgetPlayingItem();
    boxTree_->SetLibrary(nullptr);
    tree_->clear();
    library_.reset();
    settings_.reset();
    registry_.reset();
    player_->OutputReset();
    player_->Exit();
}
