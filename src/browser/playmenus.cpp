// The main window's play commands: the Play menu, the tray menu (also the
// tree's menu of the now-playing box), the player panel's control, the tray
// icon and the desktop's media controls.
#include <QAction>
#include <QActionGroup>
#include <QDBusConnection>
#include <QMenu>

#include "browser/mainwindow.h"
#include "platform/mixer.h"
#include "playback/mpris.h"
#include "playback/playcontrol.h"
#include "playback/playerpanel.h"
#include "playback/tray.h"
#include "playback/xaudioplayer.h"
#include "ui/images.h"

void TtcrateFormMain::BuildPlayMenu() {
    QMenu* play = AddMenu(nullptr, "Play3", "播放");
    AddAction(play, "Play4", "播放", "F2", Images::kPlay);
    AddAction(play, "Previous2", "上一首", "F4", Images::kPrevious);
    AddAction(play, "Next2", "下一首", "F5", Images::kNext);
    AddAction(play, "N27", {});
    AddAction(play, "Volume3", "加大 音量", "F8", Images::kVolumeUp);
    AddAction(play, "Volume4", "减小 音量", "F7", Images::kVolumeDown);
    AddAction(play, "N28", {});
    const std::pair<const char*, const char*> channels[] = {
        {"Stereo", "立体声"}, {"MonoLeft", "左 声道"}, {"MonoRight", "右 声道"}, {"MonoMix", "混音"}};
    int hint = 0;
    for (const auto& [name, caption] : channels) AddAction(play, name, caption)->setToolTip(QString::number(hint++));
    RadioGroup({"Stereo", "MonoLeft", "MonoRight", "MonoMix"});
    Action("Stereo")->setChecked(true);
    AddAction(play, "N29", {});
    AddAction(play, "PlayMyFavour1", "播放 我的最爱", "F9", Images::kFavourites);
    AddAction(play, "PlayPlaylist1", "播放 播放列表", "F10", Images::kPlaylist);

    // The tray menu repeats the play commands; their keys belong to the
    // Play menu, so here they are only shown.
    auto* tray = new QMenu(this);
    tray->setObjectName("PopupMenuPlay");
    menus_["PopupMenuPlay"] = tray;
    AddAction(tray, "OpenTunecrate1", "主界面", {}, Images::kMainWindow);
    tray->setDefaultAction(Action("OpenTunecrate1"));
    AddAction(tray, "N1", {});
    AddAction(tray, "NPlay", "播放", "F2", Images::kPlay);
    AddAction(tray, "Previous1", "上一首", "F4", Images::kPrevious);
    AddAction(tray, "Next1", "下一首", "F5", Images::kNext);
    AddAction(tray, "PopupMenuPlayN2", {});
    AddAction(tray, "Volume1", "加大音量", "F8", Images::kVolumeUp);
    AddAction(tray, "Volume2", "减少音量", "F7", Images::kVolumeDown);
    AddAction(tray, "PopupMenuPlayN14", {});
    AddAction(tray, "PlayMyFavour2", "播放 我的最爱", "F9", Images::kFavourites);
    AddAction(tray, "PlayPlaylist2", "播放 播放列表", "F10", Images::kPlaylist);
    AddAction(tray, "N12", {});
    AddAction(tray, "Exit1", "退出", {}, Images::kExit);
    for (QAction* item : tray->actions()) item->setShortcutContext(Qt::WidgetShortcut);
}

void TtcrateFormMain::BuildPlayback() {
    if (setup_.mixer == nullptr) ownMixer_ = MakeAlsaMixer();
    TMixer& mixer = setup_.mixer != nullptr ? *setup_.mixer : *ownMixer_;
    playControl_ = new TPlayControl(*this, *player_, *playerPanel_, mixer);
    TPlayControl& control = *playControl_;
    const std::pair<const char*, void (TPlayControl::*)()> commands[] = {
        {"Play4", &TPlayControl::ImageButtonPlayerClick},   {"NPlay", &TPlayControl::ImageButtonPlayerClick},
        {"Previous2", &TPlayControl::ImageButton1Click},    {"Previous1", &TPlayControl::ImageButton1Click},
        {"Next2", &TPlayControl::ImageButton3Click},        {"Next1", &TPlayControl::ImageButton3Click},
        {"Volume3", &TPlayControl::Volume1Click},           {"Volume1", &TPlayControl::Volume1Click},
        {"Volume4", &TPlayControl::Volume2Click},           {"Volume2", &TPlayControl::Volume2Click},
        {"PlayMyFavour1", &TPlayControl::PlayMyFavour1Click}, {"PlayMyFavour2", &TPlayControl::PlayMyFavour1Click},
        {"PlayPlaylist1", &TPlayControl::PlayPlaylist1Click}, {"PlayPlaylist2", &TPlayControl::PlayPlaylist1Click},
        {"Play1", &TPlayControl::Play1Click},               {"Play2", &TPlayControl::Plsy1Click},
    };
    for (const auto& [name, handler] : commands)
        connect(Action(name), &QAction::triggered, &control, handler);
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
