#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QSplitter>
#include <QHeaderView>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <algorithm>

#include "browser/columndialog.h"
#include "browser/infopanel.h"
#include "browser/tracklist.h"
#include "browser/tracklistctl.h"
#include "core/box.h"
#include "core/fileio.h"
#include "laterstart.h"
#include "ui/images.h"
#include "ui/listdrawing.h"
#include "windowfixture.h"

namespace {

std::string Item(const std::string& name, const std::string& title, const std::string& artist, int size, int stamp) {
    return "filename=/music/" + name + "\r\nTIT2=" + title + "\r\nTPE1=" + artist + "\r\nTC_BR=128\r\nTC_SIZE=" +
           std::to_string(size) + "\r\ndate_modified=" + std::to_string(stamp) + "\r\n";
}

class TrackListTest : public MainWindowTest {
protected:
    // The all-items box holds two artists and three items without one.
    void SetUp() override {
        mp3::WriteFile(data / "tune.crate", Database(107, {Item("1.mp3", "c", "Zed", 300, 3), Item("2.mp3", "b", "", 100, 1),
                                                            Item("3.mp3", "a", "", 200, 2), Item("4.mp3", "d", "", 50, 4),
                                                            Item("5.mp3", "e", "Abe", 10, 5)}));
    }
    // Opens a node and waits until its list is built.
    void OpenNode(TtcrateFormMain& window, QTreeWidgetItem* node) {
        Select(window, node);
        ASSERT_TRUE(WaitUntil([&] { return !window.TrackList().Building() && Rows(window) == RowCountOf(node); }));
    }
    // The window shown and active, listing the all-items box, as a user sees it.
    std::unique_ptr<TtcrateFormMain> OpenActive() {
        auto window = Open();
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        OpenNode(*window, Root(*window, 0));
        return window;
    }
    static int RowCountOf(QTreeWidgetItem* node) {
        const TBOX* box = TBoxTreeController::BoxOf(node);
        return box->ChildCount() + box->ItemCount();
    }
    static int Rows(TtcrateFormMain& window) { return window.TrackList().Model().rowCount(); }
    static QStringList Column(TtcrateFormMain& window, int column) {
        QStringList texts;
        const TTrackListModel& model = window.TrackList().Model();
        for (int row = 0; row < model.rowCount(); ++row) texts << model.index(row, column).data().toString();
        return texts;
    }
};

} // namespace

TEST_F(TrackListTest, ABoxListsItsChildBoxesThenItsItemsAndCountsThem) {
    auto window = Open();
    OpenNode(*window, Root(*window, 0));
    EXPECT_EQ(Column(*window, 0), QStringList({"Abe", "Zed", "a", "b", "d"}));
    EXPECT_EQ(window->StatusText(), "Tunecrate, 5 items, 0 items selected");
    EXPECT_EQ(window->TrackList().Model().index(0, 0).data(TRowDelegate::ImageRole).toInt(), Images::kBox);
    EXPECT_EQ(window->TrackList().Model().index(2, 0).data(TRowDelegate::ImageRole).toInt(), Images::kMediaItem);
    EXPECT_EQ(window->TrackList().Model().Captions().size(), 9);
    // Another box replaces the list.
    OpenNode(*window, Root(*window, 0)->child(1));
    EXPECT_EQ(Column(*window, 0), QStringList({"c"}));
}

TEST_F(TrackListTest, HeaderClicksSortAndMarkTheColumn) {
    auto window = Open();
    OpenNode(*window, Root(*window, 0));
    TTrackListModel& model = window->TrackList().Model();
    const int size = model.FindColumn("大小");
    model.ClickColumn(size);
    // Smallest first, and the boxes after the items.
    EXPECT_EQ(Column(*window, size).mid(0, 3), QStringList({"50 B", "100 B", "200 B"}));
    EXPECT_EQ(Column(*window, 0).mid(3), QStringList({"Zed", "Abe"}));
    EXPECT_FALSE(model.headerData(size, Qt::Horizontal, Qt::DecorationRole).isNull());
    model.ClickColumn(size);
    EXPECT_EQ(Column(*window, 0).mid(0, 2), QStringList({"Abe", "Zed"}));
    EXPECT_EQ(Column(*window, size).mid(2), QStringList({"200 B", "100 B", "50 B"}));
    // Opening another box lists it in title order; the header keeps its arrow.
    const int artist = model.FindColumn("表演者");
    model.ClickColumn(artist);
    EXPECT_TRUE(model.headerData(size, Qt::Horizontal, Qt::DecorationRole).isNull());
    OpenNode(*window, Root(*window, 0)->child(0));
    OpenNode(*window, Root(*window, 0));
    EXPECT_EQ(Column(*window, 0), QStringList({"Abe", "Zed", "a", "b", "d"}));
    EXPECT_FALSE(model.headerData(artist, Qt::Horizontal, Qt::DecorationRole).isNull());
}

TEST_F(TrackListTest, TheModificationTimeColumnSortsNewestFirst) {
    auto window = Open();
    window->TrackList().ApplyColumnVisibility("修改时间", true);
    OpenNode(*window, Root(*window, 0));
    TTrackListModel& model = window->TrackList().Model();
    model.SetDirectionFlag(model.FindColumn("修改时间"), true);
    model.ClickColumn(model.FindColumn("修改时间"));
    EXPECT_EQ(Column(*window, 0), QStringList({"Abe", "Zed", "d", "a", "b"}));
}

TEST_F(TrackListTest, KeysSelectAllAndGoUpTheTree) {
    auto window = OpenActive();
    QTreeView* list = window->ListView();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(list->selectionModel()->selectedRows().size(), 5);
    EXPECT_EQ(window->StatusText(), "Tunecrate, 5 items, 5 items selected");
    QTest::keyClick(list, Qt::Key_Backspace);
    EXPECT_EQ(window->Tree()->currentItem(), Root(*window, 0)); // a root has no parent
    // Enter on a box row opens that box; Backspace goes back up.
    list->setCurrentIndex(window->TrackList().Model().index(1, 0));
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(window->Tree()->currentItem()->text(0), "Zed");
    QTest::keyClick(list, Qt::Key_Backspace);
    EXPECT_EQ(window->Tree()->currentItem(), Root(*window, 0));
}

TEST_F(TrackListTest, SelectingAnItemShowsThePanelAndABoxHidesIt) {
    auto window = Open();
    window->show();
    OpenNode(*window, Root(*window, 0));
    QTreeView* list = window->ListView();
    EXPECT_FALSE(window->PanelFile()->isVisible());
    // A click, which makes the row current before it selects it.
    const QRect row = list->visualRect(window->TrackList().Model().index(2, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_TRUE(window->PanelFile()->isVisible());
    EXPECT_EQ(window->TrackList().CurrentItem(), window->TrackList().Model().Row(2).item);
    list->setCurrentIndex(window->TrackList().Model().index(0, 0));
    EXPECT_FALSE(window->PanelFile()->isVisible());
    list->clearSelection();
    EXPECT_FALSE(window->PanelFile()->isVisible());
}

TEST_F(TrackListTest, TheColumnDialogShowsAndHidesColumnsAndKeepsTheChoice) {
    auto window = Open();
    TTrackListController& list = window->TrackList();
    EXPECT_EQ(list.Model().Captions(), QStringList({"标题", "表演者", "专集", "年份", "乐派", "大小", "时长", "码率", "采样率"}));
    // The dialog is answered as a user would: 表演者 off, 声道 on, 标题 off (ignored), OK.
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<TFormColumn*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->Box("表演者")->setChecked(false);
        dialog->Box("声道")->setChecked(true);
        dialog->Box("标题")->setChecked(false);
        dialog->accept();
    });
    list.ToolButton8Click();
    EXPECT_EQ(list.Model().Captions(), QStringList({"标题", "专集", "年份", "乐派", "大小", "时长", "码率", "采样率", "声道"}));
    // Shown again, 表演者 comes last.
    list.ApplyColumnVisibility("表演者", true);
    EXPECT_EQ(list.Model().Captions().last(), "表演者");
    window.reset();
    std::string ini;
    ReadWholeFile(data / "box.ini", ini);
    EXPECT_NE(ini.find("column_Channel=true\r\n"), std::string::npos);
    // After a restart the columns made with the list keep their places.
    EXPECT_EQ(Open()->TrackList().Model().Captions().mid(8), QStringList({"采样率", "声道"}));
}

TEST_F(TrackListTest, ASkinChoiceIsKeptAndResortsTheList) {
    auto window = Open();
    OpenNode(*window, Root(*window, 0));
    TTrackListModel& model = window->TrackList().Model();
    model.ClickColumn(model.FindColumn("大小"));
    window->Action("MacX1")->trigger();
    EXPECT_TRUE(window->Action("MacX1")->isChecked());
    EXPECT_EQ(Column(*window, 0), QStringList({"Abe", "Zed", "a", "b", "d"}));
    window.reset();
    std::string ini;
    ReadWholeFile(data / "box.ini", ini);
    EXPECT_NE(ini.find("skin=Skins/MacX/skin.ini\r\n"), std::string::npos);
    EXPECT_TRUE(Open()->Action("MacX1")->isChecked());
}

TEST(TrackListModel, AnEmptyListSortsAndClearsQuietly) {
    TTrackListModel model;
    model.AppendColumn("标题");
    model.AppendColumn("大小");
    model.ClickColumn(1);
    model.Sort(0);
    model.Clear();
    model.SetPlayingItem(nullptr);
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(TrackListTest, TheListMenuFitsTheRowAndItsSortersActOnTheRowsBox) {
    auto window = Open();
    OpenNode(*window, Root(*window, 0));
    QTreeView* list = window->ListView();
    const auto shown = [&](int row) {
        list->selectionModel()->select(window->TrackList().Model().index(row, 0),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        window->TrackList().PreparePopupMenuMusic();
        QStringList names;
        for (const char* name : {"AddtoMyfavour3", "AddtoPlaylist1", "Sorter3", "Paste4", "Viewpicture1", "Cut2",
                                 "Properties1", "Savetagtomp3file1"})
            if (window->Action(name)->isVisible()) names << name;
        return names.join(' ');
    };
    EXPECT_EQ(shown(0), "AddtoMyfavour3 AddtoPlaylist1 Sorter3 Paste4 Savetagtomp3file1");
    EXPECT_TRUE(window->Action("NotSort3")->isChecked());
    EXPECT_EQ(shown(2), "AddtoMyfavour3 AddtoPlaylist1 Viewpicture1 Cut2 Properties1 Savetagtomp3file1");

    // The box row "Zed" sorted by year gets a year child, in its tree node too.
    shown(1);
    window->Action("SortbyYear3")->trigger();
    EXPECT_EQ(TBoxTreeController::BoxOf(Root(*window, 0)->child(1))->GetSortKey(), "year");
    EXPECT_EQ(Root(*window, 0)->child(1)->childCount(), 0); // "c" has no year: it stays in the box
    EXPECT_FALSE(window->Action("Cut2")->isEnabled());
}

TEST_F(TrackListTest, ARightClickAddsItsRowToTheSelectionAndKeepsTheOthers) {
    auto window = OpenActive();
    QTreeView* list = window->ListView();
    QItemSelectionModel& selection = *list->selectionModel();
    const auto rightClick = [&](int row) {
        const QPoint at = list->visualRect(window->TrackList().Model().index(row, 0)).center();
        QTest::mousePress(list->viewport(), Qt::RightButton, {}, at);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &menu);
        QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, at);
        window->Menu("PopupMenuMusic")->hide();
    };
    const auto selectedRows = [&] {
        QList<int> rows;
        for (const QModelIndex& index : selection.selectedRows()) rows << index.row();
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(window->TrackList().Model().index(2, 0)).center());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list->visualRect(window->TrackList().Model().index(3, 0)).center());
    ASSERT_EQ(selectedRows(), QList<int>({2, 3}));
    rightClick(3);
    EXPECT_EQ(selectedRows(), QList<int>({2, 3}));
    rightClick(4);
    EXPECT_EQ(selectedRows(), QList<int>({2, 3, 4}));
    EXPECT_EQ(window->StatusText(), "Tunecrate, 5 items, 3 items selected");
    // The menu fits the first selected row, an item.
    EXPECT_TRUE(window->Action("Properties1")->isVisible());
}

TEST_F(TrackListTest, NoRowShowsABoxThatASortFreed) {
    auto window = Open();
    OpenNode(*window, Root(*window, 0));
    ASSERT_EQ(Column(*window, 0).mid(0, 2), QStringList({"Abe", "Zed"}));
    const TBOX* box = TBoxTreeController::BoxOf(Root(*window, 0));
    const auto rowsShowOnlyChildrenOf = [&] {
        const TTrackListModel& model = window->TrackList().Model();
        for (int row = 0; row < model.rowCount(); ++row) {
            const TBOX* shown = model.Row(row).box;
            if (shown == nullptr) continue;
            bool child = false;
            for (int k = 0; k < box->ChildCount(); ++k) child = child || box->GetChild(k) == shown;
            if (!child) return false;
        }
        return true;
    };
    // Each sort frees the box's children; the list shows none of them until it is built anew.
    for (const char* command : {"SortbyBitrate1", "SortbyArtistAlbum1", "NotSort1", "SortbyArtist1"}) {
        window->Action(command)->trigger();
        EXPECT_TRUE(rowsShowOnlyChildrenOf()) << command;
        window->ListView()->viewport()->repaint();
        ASSERT_TRUE(WaitUntil([&] { return !window->TrackList().Building() && Rows(*window) == RowCountOf(Root(*window, 0)); }))
            << command;
        EXPECT_TRUE(rowsShowOnlyChildrenOf()) << command;
    }
    EXPECT_EQ(Column(*window, 0), QStringList({"Abe", "Zed", "a", "b", "d"}));
}

TEST_F(TrackListTest, TheInformationPanelIsAsTallAsTheUserDraggedItInTheNextRunToo) {
    const auto showItem = [&](TtcrateFormMain& window) {
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        OpenNode(window, Root(window, 0));
        window.ListView()->setCurrentIndex(window.TrackList().Model().index(2, 0));
        EXPECT_TRUE(window.PanelFile()->isVisible());
        // The splitter places its handle once it has laid the panel out.
        QCoreApplication::processEvents();
    };
    {
        auto window = Open();
        showItem(*window);
        EXPECT_EQ(window->PanelFile()->height(), kDesignedInfoHeight);
        auto* splitter = window->findChild<QSplitter*>("SplitterFile");
        ASSERT_NE(splitter, nullptr);
        QWidget* handle = splitter->handle(1);
        const QPoint middle = handle->rect().center();
        const QPoint above = middle - QPoint(0, 60);
        // The handle follows the pointer's place on the screen.
        const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
            QMouseEvent mouse(type, at, handle->mapToGlobal(at), button, held, {});
            QApplication::sendEvent(handle, &mouse);
        };
        send(QEvent::MouseButtonPress, middle, Qt::LeftButton, Qt::LeftButton);
        send(QEvent::MouseMove, above, Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, above, Qt::LeftButton, Qt::NoButton);
        EXPECT_EQ(window->PanelFile()->height(), kDesignedInfoHeight + 60);
    }
    std::string ini;
    ReadWholeFile(data / "box.ini", ini);
    EXPECT_NE(ini.find(std::string(kInfoHeightKey) + "=" + std::to_string(kDesignedInfoHeight + 60) + "\r\n"),
              std::string::npos)
        << ini;
    auto window = Open();
    showItem(*window);
    EXPECT_EQ(window->PanelFile()->height(), kDesignedInfoHeight + 60);
}
