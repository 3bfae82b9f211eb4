#pragma once

#include <QMainWindow>
#include <QStringList>
#include <QTimer>
#include <initializer_list>
#include <map>
#include <memory>
#include <shared_mutex>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QSplitter;
class QToolBar;
class QTreeView;
class QTreeWidget;
class QWidget;
class TBoxTreeController;
class TEditCommands;
class TFormSearch;
class TPlaylistCommands;
class TDialogs;
class TFormLyrics;
class TInfoPanel;
class TMixer;
class TMprisService;
class TPlayControl;
class TPlayerPanel;
class TTrackListController;
class TTrayController;
class TTrayIcon;
class THandOffReceiver;
class TPlugIns;
class TQtItemWindows;
class TSysInfo;
class TTUNECRATE;
class TXaudioPlayer;
struct TMediaEnvironment;

// The information panel's height: the designed one at first, then what the
// user drags it to, kept in the settings.
inline constexpr int kDesignedInfoHeight = 107;
inline constexpr int kMinInfoHeight = 40;
inline constexpr const char* kInfoHeightKey = "infopanel.height";

// Where the main window finds its files and its helpers.
struct TMainWindowSetup {
    std::string dataFolder;     // "tune.crate", "tune.bak", "box.ini", "picture/"; ends with "/"
    std::string resourceFolder; // "Skins/", "help/", "tcrate.jpg"; ends with "/"
    QStringList files;          // the command line's files, added at start-up
    TDialogs* dialogs = nullptr;
    THandOffReceiver* handOff = nullptr; // later starts hand their file over here; may be none
    std::string output = "alsa";         // the sound output module the players write to
    TMixer* mixer = nullptr;             // the master volume; the sound card's when none
    TTrayIcon* trayIcon = nullptr;       // the notification-area icon; the desktop's when none
    bool mediaControls = false;          // offer the desktop's media controls on the session bus
    // The folder the data folder fell back from (the program's, when it cannot
    // be written): a library and settings left there are read once, when the
    // data folder has none. Empty when the data folder did not fall back.
    std::string formerFolder = {};
};

// The library browser: a frame that owns the three stores (settings, format
// registry, library), builds the menus and tool bar, and hands each command
// to the controller of its subsystem.
class TtcrateFormMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TtcrateFormMain(TMainWindowSetup setup, QWidget* parent = nullptr);
    ~TtcrateFormMain() override;

    // A menu command or tool by its name ("AddFiles2", "SortbyArtist1", ...).
    QAction* Action(const QString& name) const;
    QMenu* Menu(const QString& name) const;
    QTreeWidget* Tree() const { return tree_; }
    TBoxTreeController& BoxTree() const { return *boxTree_; }
    TTrackListController& TrackList() const { return *trackList_; }
    QTreeView* ListView() const { return listView_; }
    TInfoPanel* PanelFile() const { return panelFile_; }
    TPlayerPanel* PlayerPanel() const { return playerPanel_; }
    TPlayControl& PlayControl() const { return *playControl_; }
    TTrayController& Tray() const { return *tray_; }
    TEditCommands& Edit() const { return *edit_; }
    TPlaylistCommands& Playlists() const { return *playlists_; }
    // The search window; none before it was first opened.
    TFormSearch* SearchWindow() const { return search_; }
    const TPlugIns& Registry() const { return *registry_; }
    TXaudioPlayer& Player() const { return *player_; }
    // The lyrics window; none before the first lyrics were shown.
    TFormLyrics* LyricsWindow() const { return lyrics_; }
    TMprisService* MediaControls() const { return mpris_.get(); }
    // Taken shared by the view builder while it reads boxes, and exclusively
    // by every change of the library.
    std::shared_mutex& LibraryLock() { return libraryLock_; }
    TTUNECRATE* Library() const { return library_.get(); }
    TSysInfo& Settings() const { return *settings_; }
    TDialogs& Dialogs() const { return *setup_.dialogs; }
    const TMainWindowSetup& Setup() const { return setup_; }
    QString StatusText() const;
    void ShowStatusText(const QString& text);
    // Notes at the status bar's right end that stay: where the library lives,
    // a skin that could not be used.
    QString StatusNote() const;
    void AddStatusNote(const QString& text);
    // Lyrics (lines separated by the two characters "\n") in the lyrics
    // window under a caption; an empty text hides the window.
    void ShowLyrics(const QString& caption, const QString& text);
    // The window restored and in front.
    void Raise();
    // Enables or disables a command by the focus and the selection.
    void SetCommandEnabled(const QString& name, bool enabled);
    // True while the window is being made; selection changes then open nothing.
    bool Creating() const { return creating_; }

    // Who is there to answer when the library or the settings cannot be written.
    enum class TAnswer { User, NoOne };
    // Stores the layout and selection, writes the library and the settings
    // and tears down: at the window's close, a signal to stop or the end of
    // the program. Runs once.
    void FormDestroy(TAnswer answer = TAnswer::NoOne);
    // The desktop session is ending: writes what FormDestroy writes and
    // keeps the window whole, since the user may still cancel the logout.
    void SaveSession();
    // Closes the window and ends the program, as Exit does, with no one at
    // the screen to answer (a signal to stop).
    void CloseUnattended();

public slots:
    void Help2Click();
    void ToolButtonAboutClick();
    void Website1Click();
    void Exit1Click();
    void Viewlyrics1Click();
    // The picture viewer of the current item, or its tag editor's pictures
    // when it has none.
    void Viewpicture1Click();
    // The tag editor ended with OK: the list shows what changed.
    void ItemEdited();
    void Options1Click();
    void Playcontrolpanel1Click();
    // Opens the search window, made on first use.
    void Search1Click();
    // A skin item: loads the skin its hint names, checks it and keeps it.
    void Clouds1Click(QAction* item);

protected:
    void closeEvent(QCloseEvent* event) override;
    // Minimising and restoring: the notification area.
    void changeEvent(QEvent* event) override;
    // The information panel, shown again, takes its height.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildLayout();
    void BuildMenus();
    void BuildToolBar();
    void BuildPlayMenu();
    // The play commands [first, last) the Play menu and the tray menu share, as either menu's items.
    void AddTwinCommands(QMenu* menu, bool tray, std::size_t first, std::size_t last);
    void BuildPlayback();
    // Ctrl+F, Ctrl+R and Ctrl+V reach the tree's menu while the tree has the
    // focus (the list's menu while another widget has it) and the main menu
    // otherwise.
    void RouteKey(const QKeySequence& key, const QString& treeAction, const QString& mainAction,
                  QWidget* other = nullptr, const QString& otherAction = {});
    // A menu in the menu bar (no parent) or in another menu, known by its name.
    QMenu* AddMenu(QMenu* parent, const QString& name, const QString& caption, int image = -1);
    // Makes the named commands one radio group.
    void RadioGroup(std::initializer_list<const char*> names);
    QAction* AddAction(QMenu* menu, const QString& name, const QString& caption, const QString& shortcut = {},
                       int image = -1);
    void FormCreate();
    // Loads the skin a setting names ("Skins/<name>/skin.ini") and gives the
    // windows and the player panel its look; false when it cannot be used.
    bool UseSkin(const QString& setting);
    // The skin a setting names, else Clouds with a note in the status bar;
    // the setting of the skin used.
    QString UseSkinOrClouds(const QString& setting);
    // The folder to read the files of those names from: the data folder, or
    // the former folder when only it holds any of them.
    std::string ReadFolder(std::initializer_list<const char*> names) const;
    // Tells the user once of a damaged database and of a tag copy cut short.
    void ReportDamage(const std::string& libraryFolder);
    // Writes the library and the settings. A store that cannot be written is
    // told, which file and why; the user may try again or write it to another
    // folder. With no one to answer, standard error says it.
    void SaveStores(TAnswer answer);
    void RestoreSelection();
    void SaveSelection();
    // The placement, the information panel's height and the selection, into the settings.
    void StoreWindowState();
    void SetInfoHeight(int height);
    void WMAddFiles(const QString& fileName);
    void Timer1Timer();

    TMainWindowSetup setup_;
    std::unique_ptr<TSysInfo> settings_;
    std::unique_ptr<TQtItemWindows> itemWindows_; // the tag editor and picture viewer items open
    std::unique_ptr<TMediaEnvironment> environment_;
    std::unique_ptr<TPlugIns> registry_;
    std::unique_ptr<TTUNECRATE> library_;
    std::unique_ptr<TBoxTreeController> boxTree_;
    std::unique_ptr<TTrackListController> trackList_;
    TEditCommands* edit_ = nullptr;
    TPlaylistCommands* playlists_ = nullptr;
    TFormSearch* search_ = nullptr;
    std::shared_mutex libraryLock_;
    std::map<QString, QAction*> actions_;
    std::map<QString, QMenu*> menus_;

    QToolBar* toolBar_ = nullptr;
    TPlayerPanel* playerPanel_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QSplitter* splitterFile_ = nullptr; // the track list above, the information panel below
    int infoHeight_ = 0;                // the information panel's, as the user left it
    QTreeWidget* tree_ = nullptr;
    QTreeView* listView_ = nullptr;
    TInfoPanel* panelFile_ = nullptr;
    TXaudioPlayer* player_ = nullptr;  // FPlayer
    std::unique_ptr<TMixer> ownMixer_;
    TPlayControl* playControl_ = nullptr;
    TTrayController* tray_ = nullptr;
    TFormLyrics* lyrics_ = nullptr;
    std::unique_ptr<TMprisService> mpris_;
    QLabel* statusLeft_ = nullptr;
    QLabel* statusRight_ = nullptr;
    QLabel* statusNote_ = nullptr;
    QTimer timer1_;
    bool creating_ = false;
    bool destroyed_ = false;
    bool hidden_ = false;
    bool unattended_ = false;
};
