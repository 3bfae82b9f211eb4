// The main window's menus, tool bar and the tree's context menu.
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>
#include <array>

#include "browser/boxtree.h"
#include "browser/editcommands.h"
#include "browser/mainwindow.h"
#include "browser/tracklistctl.h"
#include "playlists/playlistcommands.h"
#include "ui/images.h"
#include "ui/opendocument.h"

namespace {

struct TSite {
    const char* caption;
    const char* address;
};
// Places to find music that may be downloaded freely.
constexpr TSite kDownloadSites[] = {
    {"Free Music Archive", "https://freemusicarchive.org/"},
    {"Jamendo", "https://www.jamendo.com/"},
    {"Internet Archive 音频", "https://archive.org/details/audio"},
    {"ccMixter", "https://ccmixter.org/"},
    {"Musopen", "https://musopen.org/"},
    {"Bandcamp", "https://bandcamp.com/"},
};

} // namespace

void TtcrateFormMain::SetCommandEnabled(const QString& name, bool enabled) {
    Action(name)->setEnabled(enabled && !edit_->HoldsOff(name));
}

QAction* TtcrateFormMain::AddAction(QMenu* menu, const QString& name, const QString& caption, const QString& shortcut,
                                    int image) {
    QAction* action = caption.isEmpty() ? menu->addSeparator() : menu->addAction(caption);
    action->setObjectName(name);
    if (!shortcut.isEmpty()) action->setShortcut(QKeySequence(shortcut));
    if (image >= 0) action->setIcon(ImageList20(image));
    actions_[name] = action;
    return action;
}

void TtcrateFormMain::RouteKey(const QKeySequence& key, const QString& treeAction, const QString& mainAction,
                               QWidget* other, const QString& otherAction) {
    // The menu items show the key; this action alone answers it.
    for (const QString& name : {treeAction, mainAction, otherAction})
        if (!name.isEmpty()) Action(name)->setShortcutContext(Qt::WidgetShortcut);
    auto* router = new QAction(this);
    router->setShortcut(key);
    addAction(router);
    connect(router, &QAction::triggered, this, [=, this] {
        if (other != nullptr && other->hasFocus()) {
            Action(otherAction)->trigger();
        } else {
            Action(tree_->hasFocus() ? treeAction : mainAction)->trigger();
        }
    });
}

QMenu* TtcrateFormMain::AddMenu(QMenu* parent, const QString& name, const QString& caption, int image) {
    QMenu* created = parent != nullptr ? parent->addMenu(caption) : menuBar()->addMenu(caption);
    created->setObjectName(name);
    created->menuAction()->setObjectName(name);
    if (image >= 0) created->menuAction()->setIcon(ImageList20(image));
    menus_[name] = created;
    actions_[name] = created->menuAction();
    return created;
}

void TtcrateFormMain::RadioGroup(std::initializer_list<const char*> names) {
    auto* radio = new QActionGroup(this);
    for (const char* name : names) {
        Action(name)->setCheckable(true);
        radio->addAction(Action(name));
    }
}

void TtcrateFormMain::BuildMenus() {
    auto on = [this](const char* name, auto&& handler) { connect(Action(name), &QAction::triggered, this, handler); };

    QMenu* file = AddMenu(nullptr, "File1", "文件");
    AddAction(file, "AddFiles2", "添加 媒体文件", "Ctrl+Insert", Images::kAddFiles);
    AddAction(file, "AddFolder2", "添加 文件夹", {}, Images::kAddFolder);
    AddAction(file, "N2", {});
    AddAction(file, "Fileinfo1", "媒体文件信息", {}, Images::kFileInfo);
    AddAction(file, "N4", {});
    AddAction(file, "Deletemp3file1", "删除", "Ctrl+Delete", Images::kDelete);
    AddAction(file, "Fulldelete1", "彻底删除", "Ctrl+D", Images::kFullDelete);
    AddAction(file, "N7", {});
    AddAction(file, "Exit2", "退出", {}, Images::kExit);

    QMenu* edit = AddMenu(nullptr, "Edit1", "编辑");
    AddAction(edit, "Cut1", "剪切", "Ctrl+X", Images::kCut);
    AddAction(edit, "Paste1", "粘贴", "Ctrl+V", Images::kPaste);
    AddAction(edit, "SelectAll2", "全选");
    AddAction(edit, "N9", {});
    AddAction(edit, "Search1", "搜索", "Ctrl+F", Images::kSearch);

    QMenu* view = AddMenu(nullptr, "View1", "视图");
    AddAction(view, "ToolBar", "工具栏");
    AddAction(view, "StatusBar2", "状态栏");
    AddAction(view, "Playcontrolpanel1", "播放面板");
    for (const char* name : {"ToolBar", "StatusBar2", "Playcontrolpanel1"}) {
        Action(name)->setCheckable(true);
        Action(name)->setChecked(true);
    }
    AddAction(view, "N11", {});
    QMenu* skins = AddMenu(view, "Skin1", "界面");
    for (const char* name : {"Clouds", "MacX", "Wistler"}) {
        QAction* item = AddAction(skins, QString(name) + "1", name);
        item->setToolTip(QString("Skins/%1/skin.ini").arg(name));
        connect(item, &QAction::triggered, this, [this, item] { Clouds1Click(item); });
    }
    skins->setToolTipsVisible(true);
    RadioGroup({"Clouds1", "MacX1", "Wistler1"});
    AddAction(view, "N14", {});
    AddAction(view, "Displaycolumns1", "显示列设置", {}, Images::kColumns);
    AddAction(view, "Refresh2", "刷新", {}, Images::kRefresh);
    AddAction(view, "N23", {});
    AddAction(view, "Options2", "配置设置", {}, Images::kOptions);

    // The single-key sorters, in the Tools menu and in the tree's sorter menu.
    auto sortItems = [&](QMenu* parent, const std::array<const char*, 8>& names, const char* typeCaption) {
        const char* captions[] = {"按 表演者 分类", "按 专集 分类", "按 年份 分类", "按 乐派 分类",
                                  "按 码率 分类",   typeCaption,     nullptr,        "取消 分类"};
        const char* keys[] = {"Ctrl+T", "Ctrl+B", "Ctrl+Y", "Ctrl+G", "Ctrl+R", "Ctrl+F", "", "Ctrl+N"};
        for (std::size_t i = 0; i < names.size(); ++i)
            AddAction(parent, names[i], captions[i] != nullptr ? QString::fromUtf8(captions[i]) : QString(), keys[i]);
        RadioGroup({names[0], names[1], names[2], names[3], names[4], names[5], names[7]});
    };

    QMenu* tools = AddMenu(nullptr, "Tools1", "工具");
    sortItems(tools, {"SortbyArtist1", "SortbyAlbum1", "SortbyYear1", "SortbyGenre1", "SortbyBitrate3",
                      "SortbyFiletype2", "N26", "NotSort1"},
              "按 媒体类型 分类");

    BuildPlayMenu();

    QMenu* help = AddMenu(nullptr, "Help1", "帮助");
    AddAction(help, "Onlinedocument1", "帮助", {}, Images::kHelp);
    AddAction(help, "N30", {});
    AddAction(help, "HomePage1", "主页", {}, Images::kWebAddress);
    QMenu* sites = AddMenu(help, "DownloadMP31", "MP3 下载", Images::kDownloadSites);
    int site = 0;
    for (const TSite& entry : kDownloadSites) {
        QAction* item = AddAction(sites, QString("MP3%1").arg(++site), QString::fromUtf8(entry.caption));
        item->setToolTip(entry.address);
        item->setStatusTip(entry.address);
        connect(item, &QAction::triggered, this, [item] { OpenDocument(item->toolTip()); });
    }
    sites->setToolTipsVisible(true);
    AddAction(help, "N31", {});
    AddAction(help, "About1", "关于", {}, Images::kAbout);

    // The box tree's context menu and its sorters.
    QMenu* box = new QMenu(this);
    box->setObjectName("PopupMenuBox");
    menus_["PopupMenuBox"] = box;
    AddAction(box, "AddFiles1", "添加 媒体文件", {}, Images::kAddFiles);
    AddAction(box, "AddFolder1", "添加 文件夹", {}, Images::kAddFolder);
    AddAction(box, "N3", {});
    QMenu* sorter = AddMenu(box, "Sorter1", "分类器");
    AddAction(sorter, "SortbyArtistAlbum1", "按 表演者/专集 分类");
    AddAction(sorter, "SortbyYearAlbum1", "按 年份/专集 分类");
    AddAction(sorter, "SortbyYearArtist1", "按 年份/表演者 分类");
    AddAction(sorter, "N8", {});
    sortItems(sorter, {"SortbyArtist2", "SortbyAlbum2", "SortbyYear2", "SortbyGenre2", "SortbyBitrate1", "SortbyType1",
                       "N5", "NotSort2"},
              "按 媒体类别 分类");
    AddAction(box, "N10", {});
    AddAction(box, "Play2", "播放", {}, Images::kNowPlaying);
    AddAction(box, "AddtoMyFavour1", "添加到 我的最爱", {}, Images::kFavourites);
    AddAction(box, "AddtoPlaylist4", "添加到 播放列表", {}, Images::kPlaylist);
    AddAction(box, "N19", {});
    AddAction(box, "Open1", "打开 ...", {}, Images::kOpenPlaylist);
    AddAction(box, "Saveas1", "保存为 播放列表", {}, Images::kSavePlaylist);
    AddAction(box, "N20", {});
    AddAction(box, "Copyfiles1", "复制媒体文件到 ...");
    AddAction(box, "N21", {});
    AddAction(box, "Saveinfotofile1", "保存媒体信息到文件");
    AddAction(box, "Refreshfileinfo1", "刷新媒体信息", {}, Images::kRefresh);
    AddAction(box, "N24", {});
    AddAction(box, "Delete1", "删除", "Ctrl+Delete", Images::kDelete);
    AddAction(box, "N25", {});
    AddAction(box, "Paste3", "粘贴", "Ctrl+V", Images::kPaste);
    AddAction(box, "N42", {});
    AddAction(box, "Rename2", "重命名");

    // The track list's context menu and its sorters, which act on the box of
    // the first selected row.
    QMenu* music = new QMenu(this);
    music->setObjectName("PopupMenuMusic");
    menus_["PopupMenuMusic"] = music;
    AddAction(music, "Play1", "播放", {}, Images::kPlay);
    music->setDefaultAction(Action("Play1"));
    AddAction(music, "AddtoMyfavour3", "添加到 我的最爱", {}, Images::kFavourites);
    AddAction(music, "AddtoPlaylist1", "添加到 播放列表", {}, Images::kPlaylist);
    AddAction(music, "N6", {});
    QMenu* rowSorter = AddMenu(music, "Sorter3", "分类器");
    sortItems(rowSorter, {"SortbyArtist3", "SortbyAlbum3", "SortbyYear3", "SortbyGenre3", "SortbyBitrate4",
                          "SortbyFiletype1", "N13", "NotSort3"},
              "按 媒体类型 分类");
    for (const char* name : {"SortbyArtist3", "SortbyAlbum3", "SortbyYear3", "SortbyGenre3", "SortbyBitrate4",
                             "SortbyFiletype1", "NotSort3"})
        Action(name)->setShortcut({});
    AddAction(music, "N15", {});
    AddAction(music, "Viewpicture1", "图片查看器", {}, Images::kPicture);
    AddAction(music, "Viewlyrics1", "歌词查看器", {}, Images::kLyrics);
    AddAction(music, "N16", {});
    AddAction(music, "Savetagtomp3file1", "保存媒体信息到文件");
    AddAction(music, "Reloadtagfrommp3file1", "刷新媒体信息", {}, Images::kRefresh);
    AddAction(music, "N17", {});
    AddAction(music, "Delete3", "删除", {}, Images::kDelete);
    AddAction(music, "N18", {});
    AddAction(music, "Cut2", "剪切", "Ctrl+X", Images::kCut);
    AddAction(music, "Paste4", "粘贴", "Ctrl+V", Images::kPaste);
    AddAction(music, "N22", {});
    AddAction(music, "Rename3", "重命名");
    AddAction(music, "Properties1", "媒体文件信息", {}, Images::kFileInfo);

    Action("Paste1")->setEnabled(false);

    TBoxTreeController& tree = *boxTree_;
    TEditCommands& commands = *edit_;
    const std::pair<const char*, void (TEditCommands::*)()> edits[] = {
        {"AddFiles2", &TEditCommands::AddFilesClick},
        {"AddFiles1", &TEditCommands::AddFilesClick},
        {"AddFolder2", &TEditCommands::ToolButton6Click},
        {"AddFolder1", &TEditCommands::ToolButton6Click},
        {"Deletemp3file1", &TEditCommands::ToolButton9Click},
        {"Fulldelete1", &TEditCommands::ToolButton4Click},
        {"Cut1", &TEditCommands::Cut2Click},
        {"Cut2", &TEditCommands::Cut2Click},
        {"Paste1", &TEditCommands::Paste3Click},
        {"Paste3", &TEditCommands::Paste3Click},
        {"Paste4", &TEditCommands::Paste4Click},
        {"AddtoMyFavour1", &TEditCommands::AddtoMYFavour1Click},
        {"AddtoMyfavour3", &TEditCommands::AddtoMyfavour3Click},
        {"AddtoPlaylist4", &TEditCommands::Addtoplaylist4Click},
        {"AddtoPlaylist1", &TEditCommands::Addtoplaylist1Click},
        {"Reloadtagfrommp3file1", &TEditCommands::Reloadtagfrommp3file1Click},
        {"Refreshfileinfo1", &TEditCommands::ReloadTagfrommp3files2Click},
        {"Savetagtomp3file1", &TEditCommands::Savetagtomp3file1Click},
        {"Saveinfotofile1", &TEditCommands::SaveTagtomp3files2Click},
        {"Fileinfo1", &TEditCommands::PropertiesClick},
        {"Properties1", &TEditCommands::PropertiesClick},
    };
    for (const auto& [name, handler] : edits) connect(Action(name), &QAction::triggered, &commands, handler);
    // The tree's and the list's own delete items act on what their menu was opened on.
    on("Delete1", [this] {
        tree_->setFocus();
        edit_->ToolButton9Click();
    });
    on("Delete3", [this] {
        listView_->setFocus();
        edit_->ToolButton9Click();
    });
    on("Viewpicture1", &TtcrateFormMain::Viewpicture1Click);
    on("Search1", &TtcrateFormMain::Search1Click);
    TPlaylistCommands& playlists = *playlists_;
    connect(Action("Open1"), &QAction::triggered, &playlists, &TPlaylistCommands::Open1Click);
    connect(Action("Saveas1"), &QAction::triggered, &playlists, &TPlaylistCommands::Save1Click);
    connect(Action("Copyfiles1"), &QAction::triggered, &playlists, &TPlaylistCommands::Copyfiles1Click);
    on("Rename3", [this] { trackList_->Rename3Click(); });
    on("Exit2", &TtcrateFormMain::Exit1Click);
    on("Options2", &TtcrateFormMain::Options1Click);
    on("Playcontrolpanel1", &TtcrateFormMain::Playcontrolpanel1Click);
    on("Viewlyrics1", &TtcrateFormMain::Viewlyrics1Click);
    on("ToolBar", [this](bool checked) { toolBar_->setVisible(checked); });
    on("StatusBar2", [this](bool checked) { statusBar()->setVisible(checked); });
    on("Refresh2", [&tree] { tree.RefreshSelectedNode(); });
    on("Onlinedocument1", &TtcrateFormMain::Help2Click);
    on("HomePage1", &TtcrateFormMain::Website1Click);
    on("About1", &TtcrateFormMain::ToolButtonAboutClick);
    on("Rename2", [&tree] { tree.Rename2Click(); });
    on("SelectAll2", [this] { trackList_->SelectAll1Click(); });
    on("Displaycolumns1", [this] { trackList_->ToolButton8Click(); });
    const std::pair<const char*, const char*> sorts[] = {
        {"artist", "Artist"}, {"album", "Album"}, {"year", "Year"}, {"genre", "Genre"}};
    for (const auto& [key, word] : sorts) {
        const std::string k = key;
        for (const char* menu : {"1", "2"})
            on((std::string("Sortby") + word + menu).c_str(), [&tree, k] { tree.SortSelected(k); });
    }
    on("NotSort1", [&tree] { tree.SortSelected("not sort"); });
    on("NotSort2", [&tree] { tree.SortSelected("not sort"); });
    on("SortbyBitrate3", [&tree] { tree.SortSelected("bitrate", false); });
    on("SortbyBitrate1", [&tree] { tree.SortSelected("bitrate"); });
    on("SortbyFiletype2", [&tree] { tree.SortSelected("mime"); });
    on("SortbyType1", [&tree] { tree.SortSelected("mime"); });
    const std::pair<const char*, const char*> rowSorts[] = {
        {"SortbyArtist3", "artist"}, {"SortbyAlbum3", "album"},     {"SortbyYear3", "year"},      {"SortbyGenre3", "genre"},
        {"SortbyBitrate4", "bitrate"}, {"SortbyFiletype1", "mime"}, {"NotSort3", "not sort"}};
    for (const auto& [name, key] : rowSorts) {
        const std::string k = key;
        on(name, [this, k] { trackList_->SortRowBox(k); });
    }
    on("SortbyArtistAlbum1", [&tree] { tree.SortSelectedTwoLevels("artist", "album"); });
    on("SortbyYearAlbum1", [&tree] { tree.SortSelectedTwoLevels("year", "album"); });
    on("SortbyYearArtist1", [&tree] { tree.SortSelectedTwoLevels("year", "artist"); });

    RouteKey(QKeySequence("Ctrl+F"), "SortbyType1", "Search1");
    RouteKey(QKeySequence("Ctrl+R"), "SortbyBitrate1", "SortbyBitrate3");
    RouteKey(QKeySequence("Ctrl+V"), "Paste3", "Paste1", listView_, "Paste4");
    Action("SortbyFiletype2")->setShortcutContext(Qt::WidgetShortcut);
}

void TtcrateFormMain::BuildToolBar() {
    toolBar_ = addToolBar("ToolBar1");
    toolBar_->setObjectName("ToolBar1");
    toolBar_->setMovable(false);
    toolBar_->setIconSize(QSize(20, 20));
    toolBar_->setFixedHeight(25 + 4);
    const char* buttons[] = {"AddFiles2", "AddFolder2", nullptr, "Refresh2", nullptr, "Fileinfo1", nullptr,
                             "Search1",   nullptr,      "Displaycolumns1", nullptr, "Onlinedocument1", "About1"};
    for (const char* name : buttons) {
        if (name == nullptr) {
            toolBar_->addSeparator();
        } else {
            toolBar_->addAction(Action(name));
        }
    }
}
