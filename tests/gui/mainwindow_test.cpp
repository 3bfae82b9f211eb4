#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "browser/boxtree.h"
#include "browser/tracklist.h"
#include "browser/tracklistctl.h"
#include "core/box.h"
#include "core/database.h"
#include "core/fileio.h"
#include "core/library.h"
#include "mp3builder.h"
#include "platform/instance.h"
#include "scripteddialogs.h"
#include "tempdir.h"
#include "laterstart.h"

#include <unistd.h>


TEST_F(MainWindowTest, StartsWithTheFourRootsAndTheirChildrenInCaptionOrder) {
    auto window = Open();
    EXPECT_EQ(window->windowTitle(), "Tunecrate(tcrate)");
    ASSERT_EQ(window->Tree()->topLevelItemCount(), 4);
    EXPECT_EQ(Captions(window->Tree()->invisibleRootItem()),
              QStringList({"Tunecrate", "我的最爱", "播放列表", "正在播放 ..."}));
    EXPECT_EQ(Captions(Root(*window, 0)), QStringList({"Alpha", "beta", "gamma"}));
    EXPECT_EQ(Captions(Root(*window, 1)), QStringList({"beta"}));
    EXPECT_EQ(Captions(Root(*window, 2)), QStringList({"1999"}));
    EXPECT_EQ(window->Tree()->currentItem(), Root(*window, 0));
    EXPECT_TRUE(dialogs.requests.isEmpty());
}

TEST_F(MainWindowTest, SortCommandsResortTheSelectedBoxAndItsNodes) {
    auto window = Open();
    Select(*window, Root(*window, 0));
    window->Action("SortbyYear1")->trigger();
    EXPECT_EQ(Captions(Root(*window, 0)), QStringList({"1999", "2001"}));
    EXPECT_TRUE(window->Action("SortbyYear1")->isChecked());
    // The Tools menu's bitrate command leaves new nodes in classification order...
    window->Action("SortbyBitrate3")->trigger();
    EXPECT_EQ(Captions(Root(*window, 0)), QStringList({"64 kbps", "128 kbps", "192 kbps", "320 kbps"}));
    // ...the tree menu's sorts them.
    window->Action("SortbyBitrate1")->trigger();
    EXPECT_EQ(Captions(Root(*window, 0)), QStringList({"128 kbps", "192 kbps", "320 kbps", "64 kbps"}));
    window->Action("NotSort1")->trigger();
    EXPECT_EQ(Root(*window, 0)->childCount(), 0);
    EXPECT_TRUE(window->Action("NotSort1")->isChecked());
    // Opening a node checks its key.
    Select(*window, Root(*window, 2));
    EXPECT_TRUE(window->Action("SortbyYear1")->isChecked());
}

TEST_F(MainWindowTest, TwoLevelSortersBuildTwoLevels) {
    auto window = Open();
    Select(*window, Root(*window, 0));
    window->Action("SortbyYearArtist1")->trigger();
    QTreeWidgetItem* root = Root(*window, 0);
    ASSERT_EQ(Captions(root), QStringList({"1999", "2001"}));
    EXPECT_EQ(Captions(root->child(0)), QStringList({"Alpha", "beta"}));
    EXPECT_EQ(Captions(root->child(1)), QStringList({"beta", "gamma"}));
    EXPECT_EQ(window->Tree()->topLevelItemCount(), 4);
}

TEST_F(MainWindowTest, TheTreeMenuShowsItsItemsByWhereTheNodeStands) {
    auto window = Open();
    const auto shown = [&](QTreeWidgetItem* node) {
        Select(*window, node);
        window->BoxTree().PreparePopupMenuBox();
        QStringList names;
        for (const char* name : {"AddFiles1", "Sorter1", "AddtoMyFavour1", "AddtoPlaylist4", "Open1", "Saveas1",
                                 "Saveinfotofile1", "Delete1", "Rename2", "SortbyArtistAlbum1"})
            if (window->Action(name)->isVisible()) names << name;
        return names.join(' ');
    };
    EXPECT_EQ(shown(Root(*window, 0)), "AddFiles1 Sorter1 AddtoMyFavour1 AddtoPlaylist4 Saveas1 Saveinfotofile1 "
                                       "Rename2 SortbyArtistAlbum1");
    EXPECT_EQ(shown(Root(*window, 0)->child(0)),
              "Sorter1 AddtoMyFavour1 AddtoPlaylist4 Saveas1 Saveinfotofile1 Delete1 Rename2");
    EXPECT_EQ(shown(Root(*window, 1)), "Sorter1 AddtoPlaylist4 Saveas1 Rename2 SortbyArtistAlbum1");
    EXPECT_EQ(shown(Root(*window, 1)->child(0)), "Sorter1 AddtoPlaylist4 Delete1");
    EXPECT_EQ(shown(Root(*window, 2)), "Sorter1 AddtoMyFavour1 Open1 Saveas1 Rename2 SortbyArtistAlbum1");
    EXPECT_EQ(shown(Root(*window, 2)->child(0)), "Sorter1 AddtoMyFavour1 Delete1");
    EXPECT_TRUE(window->Action("NotSort2")->isChecked()); // a classified child is not sorted
    shown(Root(*window, 2));
    EXPECT_TRUE(window->Action("SortbyYear2")->isChecked());
    EXPECT_FALSE(window->Action("Paste3")->isEnabled());
}

TEST_F(MainWindowTest, RenamingStartsOnAnyNodeButThoseOfTheNowPlayingBox) {
    auto window = Open();
    window->show();
    Select(*window, Root(*window, 3));
    window->Action("Rename2")->trigger();
    EXPECT_EQ(window->Tree()->findChild<QLineEdit*>(), nullptr);
    Select(*window, Root(*window, 0));
    window->Action("Rename2")->trigger();
    EXPECT_NE(window->Tree()->findChild<QLineEdit*>(), nullptr);
}

TEST_F(MainWindowTest, TheSelectionIsSavedAndRestoredAcrossARestart) {
    {
        auto window = Open();
        Select(*window, Root(*window, 0)->child(1));
        Root(*window, 0)->child(1)->setExpanded(false);
    }
    std::string ini;
    ReadWholeFile(data / "box.ini", ini);
    EXPECT_NE(ini.find("selected.level=1\r\n"), std::string::npos);
    EXPECT_NE(ini.find("selected.expanded=false\r\n"), std::string::npos);
    EXPECT_NE(ini.find("selected.box0=Tunecrate\r\n"), std::string::npos);
    EXPECT_NE(ini.find("selected.box1=beta\r\n"), std::string::npos) << ini;
    {
        auto window = Open();
        EXPECT_EQ(window->Tree()->currentItem()->text(0), "beta");
        // Under the now-playing box only the level is written; the names stay.
        Select(*window, Root(*window, 3));
    }
    ReadWholeFile(data / "box.ini", ini);
    EXPECT_NE(ini.find("selected.level=0\r\n"), std::string::npos);
    EXPECT_NE(ini.find("selected.box1=beta\r\n"), std::string::npos);
    // A path whose deeper box has gone stops at the deepest one still there.
    mp3::WriteFile(data / "box.ini", "selected.level=2\r\nselected.box0=我的最爱\r\nselected.box1=nobody\r\n");
    auto window = Open();
    EXPECT_EQ(window->Tree()->currentItem(), Root(*window, 1));
}

TEST_F(MainWindowTest, ARejectedDatabaseIsReportedAndLeftAsItWas) {
    const std::string old = Database(104);
    mp3::WriteFile(data / "tune.crate", old);
    {
        auto window = Open();
        EXPECT_EQ(window->Library(), nullptr);
        EXPECT_EQ(window->Tree()->topLevelItemCount(), 0);
        ASSERT_EQ(dialogs.Texts(TScriptedDialogs::Kind::Error).size(), 1);
        EXPECT_TRUE(dialogs.Texts(TScriptedDialogs::Kind::Error).front().contains("索引信息库版本不支持 !"));
    }
    std::string now;
    ReadWholeFile(data / "tune.crate", now);
    EXPECT_EQ(now, old);
}

TEST_F(MainWindowTest, ADamagedDatabaseAndACutTagCopyAreToldOnceAtStart) {
    const std::string whole = Database();
    const std::string damaged = whole.substr(0, whole.find("/music/3.mp3"));
    mp3::WriteFile(data / "tune.crate", damaged);
    const std::string music = data / "song.mp3";
    mp3::WriteFile(music, "half written");
    mp3::WriteFile(data / "temp.dat", "the whole new file");
    mp3::WriteFile(data / "temp.dat.target", music);
    {
        auto window = Open();
        ASSERT_NE(window->Library(), nullptr);
        EXPECT_EQ(window->Library()->Count(), 2);
        const QStringList errors = dialogs.Texts(TScriptedDialogs::Kind::Error);
        ASSERT_EQ(errors.size(), 2);
        EXPECT_EQ(errors[0], QString::fromStdString("音乐库文件已损坏，只读出了 2 首歌曲。\r损坏的文件已另存为 \"" +
                                                    (data / "tune.crate.damaged") + "\"。"));
        EXPECT_EQ(errors[1], QString::fromStdString("写入标签时被中断，文件 \"" + music + "\" 可能已损坏。\r完整的新文件保存在 \"" +
                                                    (data / "temp.dat") + "\"。"));
    }
    std::string kept;
    ReadWholeFile(data / "tune.crate.damaged", kept);
    EXPECT_EQ(kept, damaged);
    dialogs.requests.clear();
    mp3::WriteFile(music, "the whole new file"); // put back by the user
    auto window = Open();
    EXPECT_EQ(window->Library()->Count(), 2);
    EXPECT_TRUE(dialogs.requests.isEmpty());
}

TEST_F(MainWindowTest, HandedOverMp3FilesAreAddedAndTheCountIsAlwaysGivenBack) {
    auto window = Open();
    const std::string file = data / "new.mp3";
    mp3::WriteFile(file, mp3::Tag(3).Text("TPE1", "Delta").Build() + mp3::Frames(2));
    mp3::WriteFile(data / "upper.MP3", mp3::Tag(3).Text("TPE1", "Upper").Build() + mp3::Frames(2));
    Select(*window, Root(*window, 0));
    emit handOff.FileHandedOver(QString::fromStdString(file));
    EXPECT_EQ(handOff.finished, 1);
    EXPECT_EQ(Captions(Root(*window, 0)), QStringList({"Alpha", "beta", "Delta", "gamma"}));
    emit handOff.FileHandedOver(QString::fromStdString(data / "upper.MP3"));
    emit handOff.FileHandedOver(QString::fromStdString(data / "missing.mp3"));
    EXPECT_EQ(handOff.finished, 3);
    EXPECT_EQ(window->Library()->Count(), 6);
}

TEST_F(MainWindowTest, CommandLineFilesOfEveryKindAreAddedAtStartUp) {
    const std::string file = data / "cli.MP2";
    mp3::WriteFile(file, mp3::Tag(3).Text("TPE1", "Cli").Build() + mp3::Frames(2));
    auto window = Open({QString::fromStdString(file), QString::fromStdString(data / "absent.mp3")});
    EXPECT_EQ(window->Library()->Count(), 6);
    EXPECT_TRUE(Captions(Root(*window, 0)).contains("Cli"));
}

TEST_F(MainWindowTest, CtrlFSortsByTypeInTheTreeAndCtrlRByBitrate) {
    auto window = Open();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    Select(*window, Root(*window, 0));
    window->Tree()->setFocus();
    QTest::keyClick(window->Tree(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(Captions(Root(*window, 0)), QStringList({".mp3"}));
    QTest::keyClick(window->Tree(), Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(Captions(Root(*window, 0)), QStringList({"128 kbps", "192 kbps", "320 kbps", "64 kbps"}));
}

TEST_F(MainWindowTest, AMissingHelpPageIsReported) {
    auto window = std::make_unique<TtcrateFormMain>(TMainWindowSetup{data.Path(), data.Path(), {}, &dialogs, nullptr});
    window->Action("Onlinedocument1")->trigger();
    ASSERT_EQ(dialogs.Texts(TScriptedDialogs::Kind::Error).size(), 1);
    EXPECT_EQ(dialogs.Texts(TScriptedDialogs::Kind::Error).front(),
              QString::fromStdString("帮助文件 \"" + data.Path() + "help/index.html\" 没有找到 !"));
}

TEST_F(MainWindowTest, LaterStartsHandTheirFilesToTheRunningWindowOneAfterAnother) {
    const TTestChannelNames names("tcrate-window-test");
    const QString& server = names.server;
    const QString& semaphore = names.semaphore;
    TInstanceChannel channel(server, semaphore);
    ASSERT_EQ(channel.Listen(), TInstanceChannel::TListen::kListening);
    auto window = std::make_unique<TtcrateFormMain>(TMainWindowSetup{
        data.Path(), std::string(TCRATE_SOURCE_DIR) + "/resources/", {}, &dialogs, &channel});
    Select(*window, Root(*window, 0));
    const std::string second = data / "second.mp3", third = data / "third.mp3";
    mp3::WriteFile(second, mp3::Tag(3).Text("TPE1", "Second").Build() + mp3::Frames(2));
    mp3::WriteFile(third, mp3::Tag(3).Text("TPE1", "Third").Build() + mp3::Frames(2));

    TLaterStart secondStart({QString::fromStdString(second), "/dropped.mp3"}, server, semaphore);
    EXPECT_EQ(secondStart.Result(), THandOffResult::kHandedOver);
    ASSERT_TRUE(WaitUntil([&] { return window->Library()->Count() == 6; }));
    EXPECT_TRUE(Captions(Root(*window, 0)).contains("Second"));
    // The window gave the count back: the next start gets through at once.
    TLaterStart thirdStart({QString::fromStdString(third)}, server, semaphore);
    EXPECT_EQ(thirdStart.Result(), THandOffResult::kHandedOver);
    ASSERT_TRUE(WaitUntil([&] { return window->Library()->Count() == 7; }));
    EXPECT_TRUE(Captions(Root(*window, 0)).contains("Third"));
}

namespace {

// Presses, as a user would, on the middle of a node's row.
QPoint CentreOf(TtcrateFormMain& window, QTreeWidgetItem* node) {
    return window.Tree()->visualItemRect(node).center();
}

// The list shows the box of that node, and the status says so.
bool ListShows(TtcrateFormMain& window, QTreeWidgetItem* node) {
    const TBOX* box = TBoxTreeController::BoxOf(node);
    const QString status = QString::fromStdString(box->GetName()) + ", " +
                           QString::number(box->ChildCount() + box->ItemCount()) + " items, 0 items selected";
    return WaitUntil([&] {
        return !window.TrackList().Building() && window.StatusText() == status &&
               window.TrackList().Model().rowCount() == box->ChildCount() + box->ItemCount();
    });
}

} // namespace

TEST_F(MainWindowTest, TheNodeThePointerMadeCurrentIsTheOneOpened) {
    auto window = Open();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTreeWidgetItem* all = Root(*window, 0);
    all->setExpanded(true);
    Select(*window, all);
    ASSERT_TRUE(ListShows(*window, all));
    QWidget* viewport = window->Tree()->viewport();

    // A right click: the press makes the node current, the menu comes with it.
    QTreeWidgetItem* beta = all->child(1);
    QTest::mousePress(viewport, Qt::RightButton, {}, CentreOf(*window, beta));
    QContextMenuEvent menu(QContextMenuEvent::Mouse, CentreOf(*window, beta), viewport->mapToGlobal(CentreOf(*window, beta)));
    QApplication::sendEvent(viewport, &menu);
    QTest::mouseRelease(viewport, Qt::RightButton, {}, CentreOf(*window, beta));
    window->Menu("PopupMenuBox")->hide();
    EXPECT_EQ(window->Tree()->selectedItems(), QList<QTreeWidgetItem*>{beta});
    EXPECT_TRUE(ListShows(*window, beta));
    // The menu's commands act on it.
    EXPECT_FALSE(window->Action("AddFiles1")->isVisible());
    window->Action("SortbyYear2")->trigger();
    EXPECT_EQ(TBoxTreeController::BoxOf(beta)->GetSortKey(), "year");
    EXPECT_EQ(TBoxTreeController::BoxOf(all)->GetSortKey(), "artist");

    // Press on one node, drag to another, release there.
    QTreeWidgetItem* gamma = all->child(2);
    QTest::mousePress(viewport, Qt::LeftButton, {}, CentreOf(*window, all->child(0)));
    QTest::mouseMove(viewport, CentreOf(*window, gamma));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, CentreOf(*window, gamma));
    EXPECT_EQ(window->Tree()->currentItem(), gamma);
    EXPECT_EQ(window->Tree()->selectedItems(), QList<QTreeWidgetItem*>{gamma});
    EXPECT_TRUE(ListShows(*window, gamma));

    // Keys that move only the current node move the highlight and the list too.
    QTest::keyClick(window->Tree(), Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(window->Tree()->selectedItems(), QList<QTreeWidgetItem*>{window->Tree()->currentItem()});
    EXPECT_TRUE(ListShows(*window, window->Tree()->currentItem()));
}

TEST_F(MainWindowTest, ARefreshKeepsTheNodesOfBoxesThatStayAndFollowsNamesAndRemovals) {
    std::vector<std::string> records;
    for (const char* artist : {"A", "B", "C", "D", "E", "F"})
        records.push_back(Record(std::string(artist) + ".mp3", artist, "2001", "X", "128"));
    mp3::WriteFile(data / "tune.crate", Database(107, records));
    auto window = Open();
    QTreeWidgetItem* all = Root(*window, 0);
    ASSERT_EQ(Captions(all), QStringList({"A", "B", "C", "D", "E", "F"}));
    QList<QTreeWidgetItem*> before;
    for (int i = 0; i < all->childCount(); ++i) before << all->child(i);

    TBOX* box = TBoxTreeController::BoxOf(all);
    for (const char* gone : {"B", "D", "E"}) box->RemoveChild(box->FindChild(gone));
    box->FindChild("C")->SetName("C2");
    window->BoxTree().RefreshNode(all);
    EXPECT_EQ(Captions(all), QStringList({"A", "C2", "F"}));
    EXPECT_EQ(all->child(0), before[0]);
    EXPECT_EQ(all->child(1), before[2]);
    EXPECT_EQ(all->child(2), before[5]);

    // A new box stands after the old ones until the tree is sorted.
    const std::string file = data / "new.mp3";
    mp3::WriteFile(file, mp3::Tag(3).Text("TPE1", "0new").Build() + mp3::Frames(2));
    window->Library()->AddFile(file);
    window->BoxTree().RefreshNode(all);
    EXPECT_EQ(Captions(all), QStringList({"A", "C2", "F", "0new"}));
    Select(*window, all);
    window->BoxTree().RefreshSelectedNode();
    EXPECT_EQ(Captions(all), QStringList({"0new", "A", "C2", "F"}));
}

TEST_F(MainWindowTest, TheWindowManagerPlacesTheFirstWindowAndAStoredPlaceIsKept) {
    EXPECT_FALSE(Open()->testAttribute(Qt::WA_Moved));
    mp3::WriteFile(data / "box.ini", "frame.x=300\r\nframe.y=200\r\nframe.width=700\r\nframe.height=500\r\n");
    auto window = Open();
    EXPECT_EQ(window->geometry(), QRect(300, 200, 700, 500));
}
