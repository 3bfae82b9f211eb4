#include <QAction>
#include <QDir>
#include <QLocalServer>
#include <QThread>
#include <QTreeView>
#include <gtest/gtest.h>

#include <semaphore.h>
#include <unistd.h>

#include "app/entry.h"
#include "browser/tracklist.h"
#include "browser/tracklistctl.h"
#include "core/fileio.h"
#include "core/library.h"
#include "laterstart.h"
#include "media/mobj.h"
#include "windowfixture.h"

namespace {

// The first start's window over a real channel, under names of this test's own.
class EntryTest : public MainWindowTest {
protected:

    std::unique_ptr<TtcrateFormMain> OpenRunning() {
        EXPECT_EQ(channel_.Listen(), TInstanceChannel::TListen::kListening);
        return std::make_unique<TtcrateFormMain>(TMainWindowSetup{
            data.Path(), std::string(TCRATE_SOURCE_DIR) + "/resources/", {}, &dialogs, &channel_});
    }
    std::string Song(const std::string& name, const std::string& artist) {
        const std::string file = data / name;
        mp3::WriteFile(file, mp3::Tag(3).Text("TPE1", artist).Build() + mp3::Frames(2));
        return file;
    }
    // The count of the semaphore: 0 while a hand-off is on its way.
    int Count() const {
        sem_t* semaphore = sem_open(semaphore_.toUtf8().constData(), 0);
        int value = -1;
        if (semaphore != SEM_FAILED) {
            sem_getvalue(semaphore, &value);
            sem_close(semaphore);
        }
        return value;
    }

    const TTestChannelNames names_{"tcrate-entry-test"};
    const QString& server_ = names_.server;
    const QString& semaphore_ = names_.semaphore;
    TInstanceChannel channel_{server_, semaphore_};
};

} // namespace

TEST_F(EntryTest, ARelativeNameFromAnotherFolderIsAddedByItsFullName) {
    auto window = OpenRunning();
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(data / "music2")));
    const std::string file = Song("music2/rel.mp3", "Relative");
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(data.Path())));
    // The window takes no name it would have to guess the folder of.
    emit channel_.FileHandedOver("music2/rel.mp3");
    EXPECT_EQ(window->Library()->Count(), 5);
    TLaterStart start({"music2/rel.mp3"}, server_, semaphore_);
    EXPECT_EQ(start.Result(), THandOffResult::kHandedOver);
    QDir::setCurrent(before);
    ASSERT_TRUE(WaitUntil([&] { return window->Library()->Count() == 6; }));
    EXPECT_NE(window->Library()->FindByFileName(file), nullptr);
}

TEST_F(EntryTest, ABusyWindowDelaysTwoSendersAndTakesBothFilesInOrder) {
    auto window = OpenRunning();
    const std::string first = Song("first.mp3", "First"), second = Song("second.mp3", "Second");
    TLaterStart firstStart({QString::fromStdString(first)}, server_, semaphore_);
    // The window serves nothing from here on, as while it adds a large folder.
    const QDeadlineTimer taken(5000);
    while (Count() != 0 && !taken.hasExpired()) QThread::msleep(5);
    ASSERT_EQ(Count(), 0);
    TLaterStart secondStart({QString::fromStdString(second)}, server_, semaphore_);
    // Longer than senders once waited before they gave up.
    QThread::msleep(10500);
    EXPECT_FALSE(firstStart.Ended());
    EXPECT_FALSE(secondStart.Ended());
    EXPECT_EQ(firstStart.Result(), THandOffResult::kHandedOver);
    EXPECT_EQ(secondStart.Result(), THandOffResult::kHandedOver);
    ASSERT_TRUE(WaitUntil([&] { return window->Library()->Count() == 7; }));
    EXPECT_EQ(window->Library()->GetItem(5)->GetFileName(), first);
    EXPECT_EQ(window->Library()->GetItem(6)->GetFileName(), second);
}

TEST_F(EntryTest, AStartThatCannotListenSaysWhyAndStillOpensItsWindow) {
    const QString path = QDir::tempPath() + "/" + server_;
    ASSERT_TRUE(QDir().mkpath(path));
    const TStartDecision start = DecideStart(channel_, {});
    QDir().rmdir(path);
    ASSERT_TRUE(start.run);
    auto window = OpenMainWindow(
        {data.Path(), std::string(TCRATE_SOURCE_DIR) + "/resources/", {}, &dialogs, nullptr}, start.problem);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->Tree()->topLevelItemCount(), 4);
    const QStringList errors = dialogs.Texts(TScriptedDialogs::Kind::Error);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.front().contains(path + ": ")) << errors.front().toStdString();
    // It keeps the lock: a later start ends instead of running beside it.
    TInstanceChannel later(server_, semaphore_);
    const TStartDecision next = DecideStart(later, {QString::fromStdString(Song("late.mp3", "Late"))});
    EXPECT_FALSE(next.run);
    EXPECT_EQ(next.exitCode, 1);
}

TEST_F(EntryTest, ASessionEndTheUserCancelsSavesAndLeavesAWorkingWindow) {
    auto window = OpenMainWindow(
        {data.Path(), std::string(TCRATE_SOURCE_DIR) + "/resources/", {}, &dialogs, nullptr}, {});
    Select(*window, Root(*window, 0)->child(1));
    const std::string file = Song("kept.mp3", "Kept");
    window->Library()->AddFile(file);
    window->SaveSession();

    std::string ini, database;
    ReadWholeFile(data / "box.ini", ini);
    EXPECT_NE(ini.find("selected.box1=beta\r\n"), std::string::npos) << ini;
    ReadWholeFile(data / "tune.crate", database);
    EXPECT_NE(database.find(file), std::string::npos);

    // The logout was cancelled: the tree, the settings and the list still work.
    ASSERT_NE(window->Library(), nullptr);
    EXPECT_EQ(window->Tree()->topLevelItemCount(), 4);
    window->Action("MacX1")->trigger();
    window->TrackList().ApplyColumnVisibility("声道", true);
    Select(*window, Root(*window, 0));
    ASSERT_TRUE(WaitUntil([&] { return window->TrackList().Model().rowCount() == 5; }));
    window.reset();
    ReadWholeFile(data / "box.ini", ini);
    EXPECT_NE(ini.find("skin=Skins/MacX/skin.ini\r\n"), std::string::npos);
    EXPECT_NE(ini.find("column_Channel=true\r\n"), std::string::npos);
    EXPECT_NE(ini.find("selected.level=0\r\n"), std::string::npos);
}
