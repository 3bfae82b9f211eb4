#include "browser/mainwindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPropertyAnimation>
#include <QSplitter>
#include <QStatusBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <mutex>

#include "browser/about.h"
#include "browser/boxtree.h"
#include "browser/editcommands.h"
#include "browser/infopanel.h"
#include "browser/tracklist.h"
#include "browser/tracklistctl.h"
#include "core/library.h"
#include "core/paths.h"
#include "core/plugins.h"
#include "core/sysinfo.h"
#include "media/itemwindows.h"
#include "media/mediaenv.h"
#include "platform/instance.h"
#include "platform/mediacontrol/mediaplayer.h"
#include "playback/lyrics.h"
#include "playback/mpris.h"
#include "playback/options.h"
#include "playback/playcontrol.h"
#include "playback/playerpanel.h"
#include "playback/tray.h"
#include "playback/xaudioplayer.h"
#include "playlists/playlistcommands.h"
#include "search/formsearch.h"
#include "ui/dialogs.h"
#include "ui/boxtreewidget.h"
#include "ui/images.h"
#include "ui/listdrawing.h"
#include "ui/opendocument.h"
#include "ui/skin.h"

TtcrateFormMain::TtcrateFormMain(TMainWindowSetup setup, QWidget* parent)
    : QMainWindow(parent), setup_(std::move(setup)) {
    setObjectName("tcrateFormMain");
    setWindowIcon(ProgramIcon());
    BuildLayout();
    boxTree_ = std::make_unique<TBoxTreeController>(*this, *tree_);
    trackList_ = std::make_unique<TTrackListController>(*this, *listView_, *panelFile_, libraryLock_);
    edit_ = new TEditCommands(*this);
    playlists_ = new TPlaylistCommands(*this);
    BuildMenus();
    BuildToolBar();
    connect(panelFile_, &TInfoPanel::LyricsActivated, this, &TtcrateFormMain::ShowLyrics);
    connect(panelFile_, &TInfoPanel::PictureActivated, this, &TtcrateFormMain::Viewpicture1Click);
    timer1_.setSingleShot(true);
    timer1_.setInterval(100);
    connect(&timer1_, &QTimer::timeout, this, &TtcrateFormMain::Timer1Timer);
    player_ = new TXaudioPlayer(Dialogs(), this, MakeMediaPlayer(setup_.output));
    player_->setObjectName("FPlayer");
    player_->SetPriority(4);
    player_->SetOutputName(QString::fromStdString(setup_.output));
    BuildPlayback();
    if (setup_.handOff != nullptr) {
        connect(setup_.handOff, &THandOffReceiver::FileHandedOver, this, &TtcrateFormMain::WMAddFiles);
        connect(setup_.handOff, &THandOffReceiver::RaiseRequested, this, &TtcrateFormMain::Raise);
    }
    FormCreate();
}

TtcrateFormMain::~TtcrateFormMain() { FormDestroy(); }

void TtcrateFormMain::BuildLayout() {
    resize(800, 600);
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    playerPanel_ = new TPlayerPanel(central);
    column->addWidget(playerPanel_);

    splitter_ = new QSplitter(Qt::Horizontal, central);
    splitter_->setObjectName("Splitter1");
    splitter_->setHandleWidth(10);
    splitter_->setChildrenCollapsible(false);

    tree_ = new TBoxTreeWidget(splitter_);
    tree_->setObjectName("TreeView1");
    tree_->setHeaderHidden(true);
    tree_->setIndentation(23);
    tree_->setIconSize(QSize(20, 20));
    tree_->setMinimumWidth(10);
    QFont treeFont("Arial");
    treeFont.setPixelSize(14);
    tree_->setFont(treeFont);
    tree_->setEditTriggers(QAbstractItemView::SelectedClicked);

    auto* right = new QSplitter(Qt::Vertical, splitter_);
    splitterFile_ = right;
    right->setObjectName("SplitterFile");
    right->setHandleWidth(10);
    right->setChildrenCollapsible(false);
    listView_ = new QTreeView(right);
    listView_->setObjectName("ListView1");
    listView_->setRootIsDecorated(false);
    listView_->setItemDelegate(new TRowDelegate(false, listView_));
    panelFile_ = new TInfoPanel(QString::fromStdString(setup_.resourceFolder) + "tcrate.jpg", right);
    panelFile_->setObjectName("PanelFile");
    panelFile_->ListViewInfo()->setItemDelegate(new TRowDelegate(true, panelFile_->ListViewInfo()));
    panelFile_->setMinimumHeight(kMinInfoHeight);
    panelFile_->hide();
    // The list takes what the window grows by; the panel comes back at the
    // height the user dragged it to (the splitter forgets it while it hides).
    right->setStretchFactor(0, 1);
    right->setStretchFactor(1, 0);
    infoHeight_ = kDesignedInfoHeight;
    panelFile_->installEventFilter(this);
    connect(right, &QSplitter::splitterMoved, this, [this] { infoHeight_ = panelFile_->height(); });

    splitter_->addWidget(tree_);
    splitter_->addWidget(right);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({183, 607});
    column->addWidget(splitter_, 1);
    setCentralWidget(central);

    statusLeft_ = new QLabel("Just selected", this);
    statusLeft_->setFixedWidth(81);
    statusRight_ = new QLabel(this);
    statusBar()->setObjectName("StatusBar1");
    statusBar()->addWidget(statusLeft_);
    statusBar()->addWidget(statusRight_, 1);
    statusNote_ = new QLabel(this);
    statusNote_->setObjectName("StatusNote");
    statusBar()->addPermanentWidget(statusNote_);
}

QAction* TtcrateFormMain::Action(const QString& name) const {
    const auto found = actions_.find(name);
    if (found == actions_.end()) qFatal("no command named %s", qPrintable(name));
    return found->second;
}

QMenu* TtcrateFormMain::Menu(const QString& name) const {
    const auto found = menus_.find(name);
    return found == menus_.end() ? nullptr : found->second;
}

QString TtcrateFormMain::StatusText() const { return statusRight_->text(); }

void TtcrateFormMain::ShowStatusText(const QString& text) { statusRight_->setText(text); }

QString TtcrateFormMain::StatusNote() const { return statusNote_->text(); }

void TtcrateFormMain::AddStatusNote(const QString& text) {
    statusNote_->setText(statusNote_->text().isEmpty() ? text : statusNote_->text() + "  " + text);
}

void TtcrateFormMain::Clouds1Click(QAction* item) {
    const QString used = UseSkinOrClouds(item->toolTip());
    (used == item->toolTip() ? item : Action("Clouds1"))->setChecked(true);
    settings_->WriteString(kSkinKey, used.toStdString());
    trackList_->BeginListUpdate();
    trackList_->EndListUpdate();
}

void TtcrateFormMain::Raise() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TtcrateFormMain::CloseUnattended() {
    unattended_ = true;
    Exit1Click();
}

void TtcrateFormMain::Exit1Click() {
    close();
    // From the notification area the window is already hidden, and closing
    // a hidden window does not end the program by itself.
    if (destroyed_) QCoreApplication::quit();
}

void TtcrateFormMain::ShowLyrics(const QString& caption, const QString& text) {
    if (lyrics_ == nullptr) {
        lyrics_ = new TFormLyrics(*settings_, this);
        lyrics_->PlaceBeside(frameGeometry(), QRect(splitterFile_->mapToGlobal(QPoint(0, 0)), splitterFile_->size()));
    }
    if (text.isEmpty()) {
        lyrics_->close();
        return;
    }
    lyrics_->setWindowTitle(caption);
    lyrics_->SetLyricsText(text);
    if (!lyrics_->isVisible()) lyrics_->show();
    listView_->setFocus();
}

void TtcrateFormMain::Viewlyrics1Click() {
    TMObj* item = trackList_->CurrentItem();
    if (item == nullptr) return;
    const std::string lyrics = item->GetLyrics();
    if (!QString::fromStdString(lyrics).trimmed().isEmpty()) {
        ShowLyrics("lyrics", QString::fromStdString(lyrics));
    } else if (item->ShowProperties("LYRICS", nullptr) == 1) {
        ItemEdited();
    }
}

void TtcrateFormMain::Viewpicture1Click() {
    TMObj* item = trackList_->CurrentItem();
    if (item == nullptr) return;
    if (!item->GetPictureFileName().empty()) {
        item->ShowPicture(nullptr);
    } else if (item->ShowProperties("IMAGE", nullptr) == 1) {
        ItemEdited();
    }
}

void TtcrateFormMain::ItemEdited() {
    listView_->setFocus();
    trackList_->UpdateInfoPanel();
    trackList_->StartViewBuild();
}

void TtcrateFormMain::Options1Click() {
    TFormOptions options(*settings_, this);
    if (options.exec() == QDialog::Accepted && lyrics_ != nullptr) lyrics_->FormShow();
}

void TtcrateFormMain::Search1Click() {
    if (search_ == nullptr) {
        search_ = new TFormSearch(*this);
        // First shown over the middle of the main window.
        search_->move(frameGeometry().center() - search_->rect().center());
    }
    search_->show();
    search_->raise();
    search_->activateWindow();
}

void TtcrateFormMain::Playcontrolpanel1Click() { playerPanel_->setVisible(Action("Playcontrolpanel1")->isChecked()); }

void TtcrateFormMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || tray_ == nullptr || destroyed_) return;
    const bool wasMinimized = static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMinimized;
    if (isMinimized() && !wasMinimized) {
        tray_->ApplicationEvents1Minimize();
    } else if (!isMinimized() && wasMinimized) {
        tray_->ApplicationEvents1Restore();
    }
}

bool TtcrateFormMain::UseSkin(const QString& setting) {
    const QString path = SkinFile(QString::fromStdString(setup_.resourceFolder), setting);
    const auto skin = path.isEmpty() ? std::nullopt : LoadSkin(path);
    if (!skin) return false;
    ApplySkin(*skin);
    playerPanel_->LoadPictures(QFileInfo(path).absolutePath());
    return true;
}

QString TtcrateFormMain::UseSkinOrClouds(const QString& setting) {
    if (UseSkin(setting)) return setting;
    AddStatusNote("皮肤 \"" + setting + "\" 无法使用，已改用 Clouds 皮肤。");
    const QString clouds = QString::fromUtf8(kDefaultSkin.data(), static_cast<qsizetype>(kDefaultSkin.size()));
    UseSkin(clouds);
    return clouds;
}

void TtcrateFormMain::Help2Click() {
    const QString path = QString::fromStdString(setup_.resourceFolder) + "help/index.html";
    if (QFileInfo::exists(path)) {
        OpenDocument(path);
    } else {
        Dialogs().Error(this, "帮助文件 \"" + path + "\" 没有找到 !");
    }
}

// The program's own pages are its home page.
void TtcrateFormMain::Website1Click() { OpenDocument(QString::fromStdString(setup_.resourceFolder) + "help/index.html"); }

void TtcrateFormMain::ToolButtonAboutClick() {
    TFormAbout about(this, [this] { Website1Click(); });
    about.exec();
}

void TtcrateFormMain::SetInfoHeight(int height) {
    infoHeight_ = std::max(height, kMinInfoHeight);
    if (panelFile_->isVisible())
        splitterFile_->setSizes({std::max(1, splitterFile_->height() - infoHeight_), infoHeight_});
}

bool TtcrateFormMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == panelFile_ && event->type() == QEvent::Show) SetInfoHeight(infoHeight_);
    return QMainWindow::eventFilter(watched, event);
}

void TtcrateFormMain::WMAddFiles(const QString& fileName) {
    // Only an existing file whose extension is exactly ".mp3" is taken, by
    // its full name: a relative one would be found in this program's folder
    // instead of the sender's.
    const std::string name = fileName.toStdString();
    const QFileInfo file(fileName);
    if (library_ != nullptr && FileExtension(name) == ".mp3" && file.isAbsolute() && file.isFile()) {
        // The later start goes on at once; the file waits for a command that runs.
        edit_->WhenIdle([this, name] {
            if (library_ == nullptr) return;
            {
                trackList_->StopViewBuild();
                std::unique_lock change(libraryLock_);
                library_->AddFile(name);
            }
            boxTree_->RefreshSelectedNode();
            trackList_->StartViewBuild();
        });
    }
    setup_.handOff->FinishHandOff();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

void TtcrateFormMain::Timer1Timer() {
    boxTree_->TreeView1Click();
    trackList_->StartViewBuild();
}

void TtcrateFormMain::closeEvent(QCloseEvent* event) {
    // Not in the middle of a command that changes the library: after it.
    if (edit_->Busy()) {
        edit_->WhenIdle([this] { close(); });
        event->ignore();
        return;
    }
    // The window folds away in 200 ms before it goes, where windows can fade.
    const QString platform = QGuiApplication::platformName();
    if (!hidden_ && !unattended_ && isVisible() && platform != "offscreen" && platform != "minimal") {
        hidden_ = true;
        auto* fade = new QPropertyAnimation(this, "windowOpacity", this);
        fade->setDuration(200);
        fade->setEndValue(0.0);
        connect(fade, &QPropertyAnimation::finished, this, &QWidget::close);
        fade->start(QAbstractAnimation::DeleteWhenStopped);
        event->ignore();
        return;
    }
    FormDestroy(unattended_ ? TAnswer::NoOne : TAnswer::User);
    event->accept();
}
