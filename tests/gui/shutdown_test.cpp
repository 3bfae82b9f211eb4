// The stores at the window's start and end: failures to write them told,
// a library left beside a program that can no longer write there, skins
// found only by name, and stop signals at any moment of the start.
#include <QLabel>
#include <QTest>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>

#include "app/entry.h"
#include "core/fileio.h"
#include "core/library.h"
#include "laterstart.h"
#include "windowfixture.h"

namespace fs = std::filesystem;

namespace {

class ShutdownTest : public MainWindowTest {
protected:
    std::string Contents(const std::string& path) const {
        std::string bytes;
        ReadWholeFile(path, bytes);
        return bytes;
    }
    // Files whose new contents cannot be written: a folder stands where the
    // new file would be made.
    void BlockWriting(const std::string& file) const {
        fs::create_directory(file + ".new");
        mp3::WriteFile(file + ".new/x", "in the way");
    }
    std::string NewSong() {
        const std::string file = data / "new.mp3";
        mp3::WriteFile(file, mp3::Tag(3).Text("TPE1", "Newcomer").Build() + mp3::Frames(2));
        return file;
    }
    QStringList Chosen() const { return dialogs.Texts(TScriptedDialogs::Kind::Choose); }

    const std::string resources = std::string(TCRATE_SOURCE_DIR) + "/resources/";
};

} // namespace

TEST_F(ShutdownTest, ALibraryThatCannotBeWrittenIsToldAndWrittenOnceTheUserRetries) {
    const std::string before = Contents(data / "tune.crate");
    auto window = Open({QString::fromStdString(NewSong())});
    BlockWriting(data / "tune.bak");
    // First "重试" while the folder is still in the way, then "重试" after the user cleared it.
    dialogs.chooseAnswers << 0 << 0;
    int asked = 0;
    dialogs.onChoose = [&] {
        if (++asked == 2) fs::remove_all(data / "tune.bak.new");
    };
    window->close();
    ASSERT_EQ(Chosen().size(), 2);
    EXPECT_TRUE(Chosen().front().contains(QString::fromStdString("\"" + data / "tune.bak\"")));
    EXPECT_TRUE(Chosen().front().contains("原来的文件没有改动")) << Chosen().front().toStdString();
    const std::string after = Contents(data / "tune.crate");
    EXPECT_NE(after, before);
    EXPECT_NE(after.find("new.mp3"), std::string::npos);
    EXPECT_EQ(Contents(data / "tune.bak"), after);
    window.reset();
    EXPECT_EQ(Chosen().size(), 2); // nothing is asked or written again
}

TEST_F(ShutdownTest, GivingUpLeavesBothOldFilesAndAnotherFolderTakesTheLibraryAndTheSettings) {
    mp3::WriteFile(data / "tune.bak", "old backup");
    const std::string before = Contents(data / "tune.crate");
    {
        auto window = Open({QString::fromStdString(NewSong())});
        BlockWriting(data / "tune.crate");
        dialogs.chooseAnswers << 2;
        window->close();
        ASSERT_EQ(Chosen().size(), 1);
        window.reset();
    }
    EXPECT_EQ(Contents(data / "tune.crate"), before);
    EXPECT_EQ(Contents(data / "tune.bak"), "old backup");
    EXPECT_TRUE(fs::is_directory(data / "tune.crate.new"));

    // The settings cannot be written either: a folder has the settings' name.
    fs::remove(data / "box.ini");
    fs::create_directory(data / "box.ini");
    TempDir elsewhere;
    auto window = Open({QString::fromStdString(NewSong())});
    dialogs.chooseAnswers << 1;
    dialogs.folderAnswers << QString::fromStdString(elsewhere.Path());
    window->close();
    ASSERT_EQ(Chosen().size(), 2);
    EXPECT_TRUE(Chosen().back().contains(QString::fromStdString("\"" + data / "box.ini\""))) << Chosen().back().toStdString();
    EXPECT_TRUE(Chosen().back().contains(QString::fromStdString("\"" + data / "tune.crate\"")));
    EXPECT_NE(Contents(elsewhere / "tune.crate").find("new.mp3"), std::string::npos);
    EXPECT_EQ(Contents(elsewhere / "tune.bak"), Contents(elsewhere / "tune.crate"));
    EXPECT_NE(Contents(elsewhere / "box.ini").find("frame.width="), std::string::npos);
    EXPECT_EQ(Contents(data / "tune.crate"), before);
}

TEST_F(ShutdownTest, WithNoOneToAnswerTheFailureGoesToStandardErrorAndTheOldFilesStay) {
    const std::string before = Contents(data / "tune.crate");
    auto window = Open({QString::fromStdString(NewSong())});
    BlockWriting(data / "tune.bak");
    ::testing::internal::CaptureStderr();
    window->CloseUnattended();
    const std::string told = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(Chosen().isEmpty());
    EXPECT_NE(told.find(data / "tune.bak"), std::string::npos) << told;
    EXPECT_NE(told.find("原来的文件没有改动"), std::string::npos) << told;
    EXPECT_EQ(Contents(data / "tune.crate"), before);
    EXPECT_FALSE(fs::exists(data / "tune.bak"));
}

TEST_F(ShutdownTest, ABackupReplacedWithoutItsDatabaseIsSaid) {
    auto window = Open({QString::fromStdString(NewSong())});
    // The database's name is taken by a folder after the start.
    fs::rename(data / "tune.crate", data / "tune.old");
    fs::create_directory(data / "tune.crate");
    mp3::WriteFile(data / "tune.crate/x", "in the way");
    ::testing::internal::CaptureStderr();
    window->CloseUnattended();
    const std::string told = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(told.find("备份文件 \"" + data / "tune.bak\" 已是新的"), std::string::npos) << told;
    EXPECT_NE(Contents(data / "tune.bak").find("new.mp3"), std::string::npos);
}

TEST_F(ShutdownTest, ALibraryBesideAReadOnlyProgramIsReadFromThereAndSavedToTheDataFolder) {
    TempDir program;
    fs::rename(data / "tune.crate", program / "tune.crate");
    mp3::WriteFile(program / "box.ini", "selected.level=1\r\nselected.box0=Tunecrate\r\nselected.box1=gamma\r\n");
    TMainWindowSetup setup{data.Path(), resources, {}, &dialogs, &handOff};
    setup.formerFolder = program.Path();
    const std::string before = Contents(program / "tune.crate");
    {
        auto window = std::make_unique<TtcrateFormMain>(setup);
        EXPECT_EQ(window->Library()->Count(), 5);
        EXPECT_EQ(window->Tree()->currentItem()->text(0), "gamma");
        const QString note = window->StatusNote();
        EXPECT_TRUE(note.contains(QString::fromStdString(data / "tune.crate"))) << note.toStdString();
        EXPECT_TRUE(note.contains(QString::fromStdString(program.Path()))) << note.toStdString();
        EXPECT_TRUE(window->findChild<QLabel*>("StatusNote")->isVisibleTo(window.get()));
        window->Library()->AddFile(NewSong());
    }
    EXPECT_EQ(Contents(program / "tune.crate"), before);
    EXPECT_FALSE(fs::exists(program / "tune.bak"));
    EXPECT_NE(Contents(data / "tune.crate").find("new.mp3"), std::string::npos);
    EXPECT_NE(Contents(data / "box.ini").find("selected.box1=gamma"), std::string::npos);

    // From then on the data folder's own library is the one read.
    auto window = std::make_unique<TtcrateFormMain>(setup);
    EXPECT_EQ(window->Library()->Count(), 6);
    EXPECT_FALSE(window->StatusNote().contains(QString::fromStdString(program.Path())));
    EXPECT_TRUE(window->StatusNote().contains(QString::fromStdString(data / "tune.crate")));
}

TEST_F(ShutdownTest, SkinsAreFoundOnlyByNameBelowTheSkinFoldersElseClouds) {
    TempDir resourceCopy;
    fs::copy(resources + "Skins", resourceCopy / "Skins", fs::copy_options::recursive);
    // A skin whose description file is larger than any skin's.
    fs::create_directory(resourceCopy / "Skins/Huge");
    mp3::WriteFile(resourceCopy / "Skins/Huge/skin.ini", "stylesheet=clouds.qss\r\n" + std::string(2 << 20, ' '));
    fs::copy(resourceCopy / "Skins/Clouds/clouds.qss", resourceCopy / "Skins/Huge/clouds.qss");
    for (const std::string setting :
         {"../../../dev/zero", "Skins/../../../../dev/zero", "Skins/../Skins/MacX/skin.ini", "/dev/zero",
          "Skins/Huge/skin.ini", "Skins/Nowhere/skin.ini"}) {
        mp3::WriteFile(data / "box.ini", "skin=" + setting + "\r\n");
        auto window = std::make_unique<TtcrateFormMain>(
            TMainWindowSetup{data.Path(), resourceCopy.Path(), {}, &dialogs, &handOff});
        EXPECT_EQ(window->StatusNote(), QString::fromStdString("皮肤 \"" + setting + "\" 无法使用，已改用 Clouds 皮肤。"));
        EXPECT_TRUE(qApp->styleSheet().contains(QString::fromStdString(resourceCopy / "Skins/Clouds"))) << setting;
        EXPECT_TRUE(window->Action("Clouds1")->isChecked()) << setting;
    }
    mp3::WriteFile(data / "box.ini", "skin=Skins/MacX/skin.ini\r\n");
    auto window =
        std::make_unique<TtcrateFormMain>(TMainWindowSetup{data.Path(), resourceCopy.Path(), {}, &dialogs, &handOff});
    EXPECT_EQ(window->StatusNote(), "");
    EXPECT_TRUE(qApp->styleSheet().contains(QString::fromStdString(resourceCopy / "Skins/MacX")));
    EXPECT_TRUE(window->Action("MacX1")->isChecked());
}

TEST_F(ShutdownTest, AStopSignalBeforeTheWindowExistsClosesItOnceTheLibraryIsMade) {
    CatchStopSignals();
    ASSERT_EQ(raise(SIGTERM), 0);
    auto window = OpenMainWindow({data.Path(), resources, {QString::fromStdString(NewSong())}, &dialogs, nullptr}, {});
    CloseOnStopSignals(*window);
    ASSERT_TRUE(WaitUntil([&] { return window->Library() == nullptr; }));
    EXPECT_NE(Contents(data / "tune.crate").find("new.mp3"), std::string::npos);
    EXPECT_TRUE(Chosen().isEmpty());
    // A later signal closes the next window too, and nothing is asked of anyone.
    window.reset();
    BlockWriting(data / "tune.bak");
    window = OpenMainWindow({data.Path(), resources, {}, &dialogs, nullptr}, {});
    CloseOnStopSignals(*window);
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(raise(SIGHUP), 0);
    ASSERT_TRUE(WaitUntil([&] { return window->Library() == nullptr; }));
    EXPECT_NE(::testing::internal::GetCapturedStderr().find(data / "tune.bak"), std::string::npos);
    EXPECT_TRUE(Chosen().isEmpty());
    for (const int stop : {SIGTERM, SIGINT, SIGHUP}) signal(stop, SIG_DFL);
}
