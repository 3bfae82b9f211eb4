#pragma once

#include <QStringList>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <memory>

#include "browser/boxtree.h"
#include "browser/mainwindow.h"
#include "core/database.h"
#include "mp3builder.h"
#include "platform/instance.h"
#include "scripteddialogs.h"
#include "tempdir.h"

// A main window over a small library in a temporary program folder.

class TFakeHandOff final : public THandOffReceiver {
public:
    void FinishHandOff() override { ++finished; }
    int finished = 0;
};

inline std::string Record(const std::string& name, const std::string& artist, const std::string& year,
                   const std::string& album, const std::string& bitrate) {
    return "filename=/music/" + name + "\r\nTPE1=" + artist + "\r\nTYER=" + year + "\r\nTALB=" + album +
           "\r\nTC_BR=" + bitrate + "\r\n";
}

inline std::vector<std::string> DefaultRecords() {
    return {
        Record("1.mp3", "beta", "2001", "Zeta", "320"), Record("2.mp3", "Alpha", "1999", "Eta", "128"),
        Record("3.mp3", "gamma", "2001", "Theta", "192"), Record("4.mp3", "beta", "1999", "Eta", "128"),
        Record("5.mp3", "", "", "", "64"),
    };
}

inline std::string Database(int32_t version = 107, const std::vector<std::string>& records = DefaultRecords()) {
    TDatabaseWriter out;
    out.Integer(version);
    out.String("");
    out.String("");
    out.Integer(static_cast<int32_t>(records.size()));
    for (const std::string& text : records) {
        out.String(".mp3");
        out.String(text);
    }
    for (const char* list : {"favourites", "playlist"}) {
        out.Integer(1);
        out.String(".mp3");
        out.String(std::string(list) == "favourites" ? "/music/1.mp3" : "/music/2.mp3");
    }
    out.Integer(1);
    out.String(".mp3");
    out.String("/music/3.mp3");
    out.Integer(0);
    out.String("root.Name=Tunecrate\r\nroot.Type=artist\r\n");
    out.String("root.Name=我的最爱\r\nroot.Type=artist\r\n");
    out.String("root.Name=播放列表\r\nroot.Type=year\r\n");
    return out.Bytes();
}

inline QStringList Captions(const QTreeWidgetItem* node) {
    QStringList captions;
    for (int i = 0; i < node->childCount(); ++i) captions << node->child(i)->text(0);
    return captions;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { mp3::WriteFile(data / "tune.crate", Database()); }
    std::unique_ptr<TtcrateFormMain> Open(QStringList files = {}) {
        return std::make_unique<TtcrateFormMain>(
            TMainWindowSetup{data.Path(), std::string(TCRATE_SOURCE_DIR) + "/resources/", files, &dialogs, &handOff});
    }
    static void Select(TtcrateFormMain& window, QTreeWidgetItem* node) {
        window.Tree()->setCurrentItem(node);
        window.BoxTree().TreeView1Click();
    }
    static QTreeWidgetItem* Root(TtcrateFormMain& window, int i) { return window.Tree()->topLevelItem(i); }

    TempDir data;
    TScriptedDialogs dialogs;
    TFakeHandOff handOff;
};

