// The main window's play commands: the Play menu, the tray menu (also the
// tree's menu of the now-playing box), the player panel's control, the tray
// icon and the desktop's media controls.
#include <QAction>
#include <QActionGroup>
#include <QDBusConnection>
#include <QMenu>
#include <iterator>

#include "browser/mainwindow.h"
#include "platform/mixer.h"
#include "playback/mpris.h"
#include "playback/playcontrol.h"
#include "playback/playerpanel.h"
#include "playback/tray.h"
#include "playback/xaudioplayer.h"
#include "ui/images.h"

namespace {

// The play commands both the Play menu and the tray menu hold, with one handler each.
struct TTwinCommand {
    const char* playItem;
    const char* playCaption;
    const char* trayItem;
    const char* trayCaption;
    const char* key;
    int image;
    void (TPlayControl::*handler)();
};
constexpr TTwinCommand kTwinCommands[] = {
    {"Play4", "播放", "NPlay", "播放", "F2", Images::kPlay, &TPlayControl::ImageButtonPlayerClick},
    {"Previous2", "上一首", "Previous1", "上一首", "F4", Images::kPrevious, &TPlayControl::ImageButton1Click},
    {"Next2", "下一首", "Next1", "下一首", "F5", Images::kNext, &TPlayControl::ImageButton3Click},
    {"Volume3", "加大 音量", "Volume1", "加大音量", "F8", Images::kVolumeUp, &TPlayControl::Volume1Click},
    {"Volume4", "减小 音量", "Volume2", "减少音量", "F7", Images::kVolumeDown, &TPlayControl::Volume2Click},
    {"PlayMyFavour1", "播放 我的最爱", "PlayMyFavour2", "播放 我的最爱", "F9", Images::kFavourites,
     &TPlayControl::PlayMyFavour1Click},
    {"PlayPlaylist1", "播放 播放列表", "PlayPlaylist2", "播放 播放列表", "F10", Images::kPlaylist,
     &TPlayControl::PlayPlaylist1Click},
};
// Where the separators of both menus fall: after the transport and after the volume.
constexpr std::size_t kTransportEnd = 3;
constexpr std::size_t kVolumeEnd = 5;

} // namespace

void TtcrateFormMain::AddTwinCommands(QMenu* menu, bool tray, std::size_t first, std::size_t last) {
    for (std::size_t i = first; i < last; ++i) {
        const TTwinCommand& c = kTwinCommands[i];
        AddAction(menu, tray ? c.trayItem : c.playItem, QString::fromUtf8(tray ? c.trayCaption : c.playCaption), c.key,
                  c.image);
    }
}

void TtcrateFormMain::BuildPlayMenu() {
    QMenu* play = AddMenu(nullptr, "Play3", "播放");
    AddTwinCommands(play, false, 0, kTransportEnd);
    AddAction(play, "N27", {});
    AddTwinCommands(play, false, kTransportEnd, kVolumeEnd);
    AddAction(play, "N28", {});
    const std::pair<const char*, const char*> channels[] = {
        {"Stereo", "立体声"}, {"MonoLeft", "左 声道"}, {"MonoRight", "右 声道"}, {"MonoMix", "混音"}};
    int hint = 0;
    for (const auto& [name, caption] : channels) AddAction(play, name, caption)->setToolTip(QString::number(hint++));
    RadioGroup({"Stereo", "MonoLeft", "MonoRight", "MonoMix"});
    Action("Stereo")->setChecked(true);
    AddAction(play, "N29", {});
    AddTwinCommands(play, false, kVolumeEnd, std::size(kTwinCommands));

    // The tray menu repeats the play commands; their keys belong to the
    // Play menu, so here they are only shown.
    auto* tray = new QMenu(this);
    tray->setObjectName("PopupMenuPlay");
    menus_["PopupMenuPlay"] = tray;
    AddAction(tray, "OpenTunecrate1", "主界面", {}, Images::kMainWindow);
    tray->setDefaultAction(Action("OpenTunecrate1"));
    AddAction(tray, "N1", {});
    AddTwinCommands(tray, true, 0, kTransportEnd);
    AddAction(tray, "PopupMenuPlayN2", {});
    AddTwinCommands(tray, true, kTransportEnd, kVolumeEnd);
    AddAction(tray, "PopupMenuPlayN14", {});
    AddTwinCommands(tray, true, kVolumeEnd, std::size(kTwinCommands));
    AddAction(tray, "N12", {});
    AddAction(tray, "Exit1", "退出", {}, Images::kExit);
    for (QAction* item : tray->actions()) item->setShortcutContext(Qt::WidgetShortcut);
}

void TtcrateFormMain::BuildPlayback() {
    if (setup_.mixer == nullptr) ownMixer_ = MakeAlsaMixer();
    TMixer& mixer = setup_.mixer != nullptr ? *setup_.mixer : *ownMixer_;
    playControl_ = new TPlayControl(*this, *player_, *playerPanel_, mixer);
    TPlayControl& control = *playControl_;
    for (const TTwinCommand& c : kTwinCommands)
        for (const char* name : {c.playItem, c.trayItem}) connect(Action(name), &QAction::triggered, &control, c.handler);
    connect(Action("Play1"), &QAction::triggered, &control, &TPlayControl::Play1Click);
    connect(Action("Play2"), &QAction::triggered, &control, &TPlayControl::Plsy1Click);
    for (const char* name : {"Stereo", "MonoLeft", "MonoRight", "MonoMix"}) {
        QAction* item = Action(name);
        connect(item, &QAction::triggered, &control, [&control, item] { control.StereoClick(item); });
    }

    if (setup_.trayIcon == nullptr) setup_.trayIcon = new TSystemTrayIcon(this);
    tray_ = new TTrayController(*this, *setup_.trayIcon, *Menu("PopupMenuPlay"));
    connect(Action("OpenTunecrate1"), &QAction::triggered, tray_, &TTrayController::N32Click);
    connect(Action("Exit1"), &QAction::triggered, this, &TtcrateFormMain::Exit1Click);
    connect(&control, &TPlayControl::TitleLineChanged, tray_, &TTrayController::SetTip);

    if (setup_.mediaControls) {
        mpris_ = std::make_unique<TMprisService>(control);
        if (mpris_->Register(QDBusConnection::sessionBus())) {
            connect(&control, &TPlayControl::Changed, mpris_.get(), &TMprisService::NotifyChanged);
            connect(&control, &TPlayControl::Seeked, mpris_.get(), &TMprisService::NotifySeeked);
        } else {
            mpris_.reset();
        }
    }
}
