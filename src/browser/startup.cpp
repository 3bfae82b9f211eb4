// The main window's start-up and shut-down: the order in which the stores
// are made and written, and the window state kept between runs.
#include <QAction>
#include <QFileInfo>
#include <QStatusBar>
#include <QToolTip>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <shared_mutex>

#include "browser/boxtree.h"
#include "browser/editcommands.h"
#include "browser/infopanel.h"
#include "browser/tracklist.h"
#include "browser/tracklistctl.h"
#include "browser/mainwindow.h"
#include "core/box.h"
#include "core/fileio.h"
#include "core/library.h"
#include "core/paths.h"
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
    settings_ = std::make_unique<TSysInfo>(setup_.dataFolder, ReadFolder({"box.ini"}));
    environment_ = std::make_unique<TMediaEnvironment>(setup_.dataFolder, settings_->ReadSetting(kTagsCodepageKey));
    itemWindows_ = std::make_unique<TQtItemWindows>(
        Dialogs(), this, QString::fromStdString(setup_.resourceFolder) + "tcrate.jpg", libraryLock_);
    environment_->Windows = itemWindows_.get();
    registry_ = std::make_unique<TPlugIns>(*environment_);
    playControl_->PlaceVolumeKnob();

    try {
        const std::string skinFile =
            UseSkinOrClouds(QString::fromStdString(settings_->ReadString(kSkinKey, kDefaultSkin))).toStdString();
        const std::pair<const char*, const char*> skinItems[] = {
            {"Clouds1", "Skins/Clouds/skin.ini"}, {"MacX1", "Skins/MacX/skin.ini"}, {"Wistler1", "Skins/Wistler/skin.ini"}};
        for (const auto& [item, path] : skinItems)
            if (skinFile == path) Action(item)->setChecked(true);

        trackList_->ApplyStoredColumns();

        const std::string libraryFolder = ReadFolder({"tune.crate", "tune.bak"});
        library_ = std::make_unique<TTUNECRATE>(*registry_, libraryFolder + "tune.crate", libraryFolder + "tune.bak");
        library_->SaveTo(settings_->DatabaseFileName(), settings_->BackupFileName());
        ReportDamage(libraryFolder);
        if (!setup_.formerFolder.empty()) {
            QString place = "音乐库: " + QString::fromStdString(library_->DatabaseFile());
            if (libraryFolder != setup_.dataFolder) place += " (从 " + QString::fromStdString(libraryFolder) + " 读出)";
            AddStatusNote(place);
        }
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

std::string TtcrateFormMain::ReadFolder(std::initializer_list<const char*> names) const {
    const std::string& data = setup_.dataFolder;
    const auto holds = [&names](const std::string& folder) {
        return std::any_of(names.begin(), names.end(), [&folder](const char* name) { return PathExists(folder + name); });
    };
    return setup_.formerFolder.empty() || holds(data) || !holds(setup_.formerFolder) ? data : setup_.formerFolder;
}

void TtcrateFormMain::ReportDamage(const std::string& libraryFolder) {
    const auto quoted = [](const std::string& path) { return "\"" + QString::fromStdString(path) + "\""; };
    const TLibraryLoadReport& report = library_->LoadReport();
    if (report.damaged || report.restoredFromBackup) {
        QString text = report.damaged ? QString("音乐库文件已损坏，只读出了 %1 首歌曲。").arg(report.itemsRead)
                                      : "音乐库文件 " + quoted(libraryFolder + "tune.crate") + " 无法完整读出，已从备份 " +
                                            quoted(libraryFolder + "tune.bak") + " 恢复。";
        for (const std::string& kept : report.keptAs) text += "\r损坏的文件已另存为 " + quoted(kept) + "。";
        if (!report.notMoved.empty())
            text += "\r无法移开损坏的文件 " + quoted(report.notMoved) + "，音乐库不会保存到它上面。";
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

void TtcrateFormMain::SaveStores(TAnswer answer) {
    const auto quoted = [](const std::string& path) { return "\"" + QString::fromStdString(path) + "\""; };
    bool libraryDue = library_ != nullptr;
    bool settingsDue = true;
    for (;;) {
        QStringList failures;
        bool backupNewer = false;
        if (libraryDue) {
            std::shared_lock reading(libraryLock_);
            libraryDue = !library_->Save();
        }
        if (libraryDue) {
            const TLibrarySaveFailure& failure = library_->SaveFailure();
            backupNewer = failure.backupNewer;
            failures << "音乐库无法保存到 " + quoted(failure.file) + ": " +
                            (failure.reason.empty() ? QString("这个文件已损坏，无法移开")
                                                    : QString::fromLocal8Bit(failure.reason.c_str()));
        }
        if (settingsDue) settingsDue = !settings_->Save();
        if (settingsDue)
            failures << "设置无法保存到 " + quoted(settings_->SettingsFileName()) + ": " +
                            QString::fromLocal8Bit(settings_->SaveError().c_str());
        if (failures.isEmpty()) return;
        QString text = failures.join("\r") + "\r";
        text += backupNewer ? "备份文件 " + quoted(library_->BackupFile()) + " 已是新的，音乐库文件 " +
                                  quoted(library_->DatabaseFile()) + " 仍是旧的。"
                            : QString("原来的文件没有改动。");
        if (answer == TAnswer::NoOne) {
            std::fprintf(stderr, "tunecrate: %s\n", qPrintable(QString(text).replace('\r', '\n')));
            return;
        }
        setWindowOpacity(1.0);
        const int choice = Dialogs().Choose(this, text, {"重试", "保存到其他文件夹...", "不保存"});
        if (choice == 1) {
            const QString chosen = Dialogs().Folder(this, "选择保存的文件夹");
            if (chosen.isEmpty()) continue;
            const std::string folder = WithTrailingSlash(chosen.toStdString());
            if (libraryDue) library_->SaveTo(folder + "tune.crate", folder + "tune.bak");
            if (settingsDue) settings_->SaveTo(folder);
        } else if (choice != 0) {
            return;
        }
    }
}

void TtcrateFormMain::SaveSession() {
    if (destroyed_) return;
    StoreWindowState();
    SaveStores(TAnswer::NoOne);
}

void TtcrateFormMain::FormDestroy(TAnswer answer) {
    if (destroyed_) return;
    destroyed_ = true;
    timer1_.stop();
    trackList_->StopBuilder();
    StoreWindowState();
    panelFile_->ForgetCurrentItem();
    edit_->Forget();
    // The search worker reads the library: it ends (after its search) first.
    if (search_ != nullptr) search_->Forget();
    SaveStores(answer);
    if (library_ != nullptr) library_->SkipSaveAtDestruction();
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
