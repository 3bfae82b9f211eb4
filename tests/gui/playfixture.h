#pragma once

#include <QMenu>
#include <QTest>
#include <string>
#include <vector>

#include "core/box.h"
#include "core/library.h"
#include "laterstart.h"
#include "media/mobj.h"
#include "platform/mixer.h"
#include "playback/playcontrol.h"
#include "playback/playerpanel.h"
#include "playback/tray.h"
#include "ui/imagebutton.h"
#include "windowfixture.h"

// A main window that plays real MPEG files to no sound device, with a
// mixer and a notification area of the test's own.

class TFakeMixer final : public TMixer {
public:
    TMixerResult GetMasterVolume(int, uint32_t& value) override {
        value = volume;
        return getResult;
    }
    TMixerResult SetMasterVolume(int, uint16_t value) override {
        if (setResult == TMixerResult::Ok) volume = value;
        sets.push_back(value);
        return setResult;
    }
    uint32_t volume = 32768;
    TMixerResult getResult = TMixerResult::Ok;
    TMixerResult setResult = TMixerResult::Ok;
    std::vector<uint16_t> sets;
};

class TFakeTrayIcon final : public TTrayIcon {
public:
    bool Add() override {
        if (!available) return false;
        shown = true;
        return true;
    }
    void Remove() override { shown = false; }
    void SetTip(const QString& text) override { tip = text; }
    void SetMenu(QMenu* popup) override { menu = popup; }
    void LeftClick() { emit LeftButtonDown(); }

    bool available = true;
    bool shown = false;
    QString tip;
    QMenu* menu = nullptr;
};

// A window over real MPEG files that play, to no sound device, at many
// times real speed.
class PlayTest : public MainWindowTest {
protected:
    void SetUp() override {}

    // An MPEG file of about a second, with a title and an artist.
    std::string Song(const std::string& name, const std::string& title, const std::string& artist,
                     const std::string& lyrics = {}) {
        mp3::Tag tag;
        tag.Text("TIT2", title).Text("TPE1", artist);
        if (!lyrics.empty()) tag.Frame("USLT", std::string("\0eng\0", 5) + lyrics);
        const std::string path = data / name;
        mp3::WriteFile(path, tag.Build() + mp3::Frames(40));
        return path;
    }
    std::unique_ptr<TtcrateFormMain> OpenWith(const std::vector<std::string>& files) {
        QStringList names;
        for (const std::string& file : files) names << QString::fromStdString(file);
        TMainWindowSetup setup{data.Path(), std::string(TCRATE_SOURCE_DIR) + "/resources/", names, &dialogs, &handOff};
        setup.output = "null?speed=40";
        setup.mixer = &mixer;
        setup.trayIcon = &tray;
        return std::make_unique<TtcrateFormMain>(std::move(setup));
    }
    // The library's items in the order given, as the queue.
    static void Queue(TtcrateFormMain& window, const std::vector<int>& items, int index) {
        TTUNECRATE& library = *window.Library();
        library.NowPlayingBox.ClearItems();
        for (int i : items) library.NowPlayingBox.AddItem(library.GetItem(i));
        library.SetNowPlayingIndex(index);
    }
    static std::vector<std::string> QueueNames(TtcrateFormMain& window) {
        std::vector<std::string> names;
        const TBOX& queue = window.Library()->NowPlayingBox;
        for (int i = 0; i < queue.ItemCount(); ++i) names.push_back(queue.GetItem(i)->GetTitle());
        return names;
    }
    static std::string Playing(TtcrateFormMain& window) {
        const TMObj* item = window.PlayControl().PlayingItem();
        return item != nullptr ? item->GetTitle() : "";
    }
    static bool Plays(TtcrateFormMain& window) {
        return WaitUntil([&] { return !window.PlayerPanel()->ImageButtonPlayer()->State(); });
    }

    TFakeMixer mixer;
    TFakeTrayIcon tray;
};
