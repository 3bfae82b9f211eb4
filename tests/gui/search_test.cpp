#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QTreeView>

#include "browser/tracklist.h"
#include "core/library.h"
#include "playback/lyrics.h"
#include "playfixture.h"
#include "search/formsearch.h"
#include "search/searchcriteria.h"

namespace {

// A record of the library: its title, artist and picture count (none when empty).
std::string Item(int i, const std::string& artist, const std::string& pictures = {}) {
    std::string text = "filename=/music/" + std::to_string(i) + ".mp3\r\nTIT2=Song " + std::to_string(i) +
                       "\r\nTPE1=" + artist + "\r\n";
    if (!pictures.empty()) text += "APIC.num=" + pictures + "\r\n";
    return text;
}

class SearchTest : public PlayTest {
protected:
    // The main window over these records, its search window open.
    TFormSearch& OpenSearch(const std::vector<std::string>& records) {
        mp3::WriteFile(data / "tune.crate", Database(107, records));
        window = Open();
        window->Search1Click();
        return *window->SearchWindow();
    }
    static void Fill(TFormSearch& search, const char* field, const QString& text) {
        search.findChild<QLineEdit*>(field)->setText(text);
    }
    // Presses "开始" and waits for the search's last rows.
    static bool Search(TFormSearch& search) {
        bool finished = false;
        const QObject context;
        QObject::connect(&search, &TFormSearch::SearchFinished, &context, [&] { finished = true; });
        QTest::mouseClick(search.findChild<QWidget*>("BitBtn1"), Qt::LeftButton);
        return WaitUntil([&] { return finished; });
    }
    static QStringList Titles(const TFormSearch& search) {
        QStringList titles;
        const TTrackListModel& rows = search.Results();
        for (int i = 0; i < rows.rowCount(); ++i) titles << rows.data(rows.index(i, 0), Qt::DisplayRole).toString();
        return titles;
    }
    static void SelectRows(TFormSearch& search, const std::vector<int>& rows) {
        search.ListView()->clearSelection();
        for (int row : rows)
            search.ListView()->selectionModel()->select(search.Results().index(row, 0),
                                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    std::unique_ptr<TtcrateFormMain> window;
};

} // namespace

TEST_F(SearchTest, CriteriaSelectItemsInLibraryOrder) {
    TFormSearch& search = OpenSearch({Item(1, "Anna Maria Blue", "2"), Item(2, "Tom Blue"), Item(3, "Ed Blues", "0"),
                                      Item(4, "anna", "1"), Item(5, "Tom blue", "")});
    EXPECT_EQ(search.windowTitle(), "搜索");
    // Nothing set: every item, in the library's order.
    ASSERT_TRUE(Search(search));
    EXPECT_EQ(Titles(search), (QStringList{"Song 1", "Song 2", "Song 3", "Song 4", "Song 5"}));
    EXPECT_EQ(search.StatusText(), "5 items, 0 items selected");

    // Contains, letter case significant, the field trimmed.
    Fill(search, "EditArtist", "  Blue\t");
    ASSERT_TRUE(Search(search));
    EXPECT_EQ(Titles(search), (QStringList{"Song 1", "Song 2", "Song 3"}));
    Fill(search, "EditArtist", "blue");
    ASSERT_TRUE(Search(search));
    EXPECT_EQ(Titles(search), QStringList{"Song 5"});

    // Pictures: "Yes" sorts after "0", "No" is missing, empty or "0".
    Fill(search, "EditArtist", "");
    auto* pictures = search.findChild<QComboBox*>("ComboPicture");
    EXPECT_EQ(pictures->currentIndex(), -1);
    pictures->setCurrentText("Yes");
    ASSERT_TRUE(Search(search));
    EXPECT_EQ(Titles(search), (QStringList{"Song 1", "Song 4"}));
    pictures->setCurrentText("No");
    ASSERT_TRUE(Search(search));
    EXPECT_EQ(Titles(search), (QStringList{"Song 2", "Song 3", "Song 5"}));

    // The genre list: the table's names and "Other", nothing picked at first;
    // an item without a genre counts as its default one.
    pictures->setCurrentIndex(0);
    auto* genres = search.findChild<QComboBox*>("ComboGenre");
    EXPECT_EQ(genres->count(), 127);
    EXPECT_EQ(genres->itemText(126), "Other");
    EXPECT_EQ(search.Criteria().genre, "");
    genres->setCurrentText("Blues");
    ASSERT_TRUE(Search(search));
    EXPECT_EQ(search.Results().rowCount(), 5);
    genres->setCurrentText("Rock");
    ASSERT_TRUE(Search(search));
    EXPECT_EQ(search.Results().rowCount(), 0);
    EXPECT_EQ(search.StatusText(), "0 items, 0 items selected");
}

TEST_F(SearchTest, MatchesArriveInBatchesOf21AndTheRestWithTheStatusFollowing) {
    std::vector<std::string> records;
    for (int i = 0; i < 60; ++i) records.push_back(Item(i, i < 50 ? "Wanted" : "Other"));
    TFormSearch& search = OpenSearch(records);
    Fill(search, "EditArtist", "Wanted");
    std::vector<int> batches;
    QStringList statusBefore;
    const QObject context;
    QObject::connect(&search.Results(), &QAbstractItemModel::rowsInserted, &context, [&](const QModelIndex&, int first, int last) {
        batches.push_back(last - first + 1);
        statusBefore << search.StatusText();
    });
    ASSERT_TRUE(Search(search));
    EXPECT_EQ(batches, (std::vector<int>{21, 21, 8}));
    EXPECT_EQ(statusBefore, (QStringList{"0 items, 0 items selected", "21 items, 0 items selected",
                                         "42 items, 0 items selected"}));
    EXPECT_EQ(search.StatusText(), "50 items, 0 items selected");

    // Two quick presses start one search (the library held, so that the
    // first is still running at the second).
    int starts = 0;
    QObject::connect(&search.Results(), &QAbstractItemModel::modelReset, &context, [&] { ++starts; });
    {
        const std::unique_lock changing(window->LibraryLock());
        search.BitBtn1Click();
        search.BitBtn1Click();
    }
    ASSERT_TRUE(WaitUntil([&] { return !search.Searching(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(search.Results().rowCount(), 50);
}

TEST_F(SearchTest, TheListSortsSelectsAndOffersItsMenuOverRows) {
    TFormSearch& search = OpenSearch({Item(1, "b"), Item(2, "C"), Item(3, "a")});
    search.show();
    ASSERT_TRUE(Search(search));
    QHeaderView* header = search.ListView()->header();
    EXPECT_EQ(header->sectionSize(0), 160);
    EXPECT_EQ(header->sectionSize(7), 80);
    EXPECT_EQ(search.Results().headerData(5, Qt::Horizontal, Qt::DisplayRole).toString(), "大小");
    EXPECT_EQ(search.Results().data(search.Results().index(0, 5), Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
              Qt::AlignRight);
    // A text column sorts from Z to A first, without regard to case.
    header->sectionClicked(1);
    EXPECT_EQ(Titles(search), (QStringList{"Song 2", "Song 1", "Song 3"}));
    header->sectionClicked(1);
    EXPECT_EQ(Titles(search), (QStringList{"Song 3", "Song 1", "Song 2"}));

    // Ctrl+A selects every row; the status follows the selection.
    search.ListView()->setFocus();
    QTest::keyClick(search.ListView(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(search.StatusText(), "3 items, 3 items selected");

    // A right click adds its row to the selection and opens the menu; over
    // empty space nothing opens.
    SelectRows(search, {0});
    const QRect second = search.ListView()->visualRect(search.Results().index(1, 1));
    QTest::mousePress(search.ListView()->viewport(), Qt::RightButton, {}, second.center());
    QContextMenuEvent onRow(QContextMenuEvent::Mouse, second.center(), search.ListView()->viewport()->mapToGlobal(second.center()));
    QApplication::sendEvent(search.ListView()->viewport(), &onRow);
    EXPECT_EQ(search.StatusText(), "3 items, 2 items selected");
    EXPECT_TRUE(search.PopupMenu()->isVisible());
    QStringList captions;
    for (const QAction* action : search.PopupMenu()->actions())
        if (!action->isSeparator()) captions << action->text();
    EXPECT_EQ(captions, (QStringList{"播放", "图片查看器", "歌词查看器", "添加到 我的最爱", "添加到 播放列表"}));
    search.PopupMenu()->hide();
    const QPoint below(10, search.ListView()->viewport()->height() - 3);
    QContextMenuEvent onSpace(QContextMenuEvent::Mouse, below, search.ListView()->viewport()->mapToGlobal(below));
    QApplication::sendEvent(search.ListView()->viewport(), &onSpace);
    EXPECT_FALSE(search.PopupMenu()->isVisible());
}

TEST_F(SearchTest, RowsPlayAndJoinTheFavouritesAndThePlaylistOnce) {
    window = OpenWith({Song("a.mp3", "A", "Ann", "la la"), Song("b.mp3", "B", "Ann"), Song("c.mp3", "C", "Bo"),
                       Song("d.mp3", "D", "Bo")});
    window->show();
    window->Search1Click();
    TFormSearch& search = *window->SearchWindow();
    ASSERT_TRUE(Search(search));
    ASSERT_EQ(Titles(search), (QStringList{"A", "B", "C", "D"}));

    SelectRows(search, {3, 0, 2});
    search.PopupMenu()->findChild<QAction*>("Play1")->trigger();
    EXPECT_EQ(QueueNames(*window), (std::vector<std::string>{"A", "C", "D"}));
    EXPECT_TRUE(Plays(*window));
    EXPECT_EQ(Playing(*window), "A");

    TTUNECRATE& library = *window->Library();
    library.FavouritesBox.AddItem(library.GetItem(2));
    SelectRows(search, {1, 2});
    search.AddtoMyfavour1Click();
    search.Addtoplaylist1Click();
    std::vector<TMObj*> favourites, playlist;
    library.FavouritesBox.CollectItems(favourites);
    library.PlaylistBox.CollectItems(playlist);
    EXPECT_EQ(favourites.size(), 2u);
    EXPECT_EQ(playlist.size(), 2u);
    EXPECT_EQ(Root(*window, 1)->childCount(), 2); // the favourites branch shows Ann and Bo

    // Lyrics of the first selected row; none shows nothing.
    SelectRows(search, {0});
    search.ViewLirics1Click();
    ASSERT_NE(window->LyricsWindow(), nullptr);
    EXPECT_TRUE(window->LyricsWindow()->isVisible());
}

TEST_F(SearchTest, ResultsOutliveClosingAndLoseDeletedItems) {
    std::vector<std::string> records;
    for (int i = 0; i < 3000; ++i) records.push_back(Item(i, i % 2 == 0 ? "Even" : "Odd"));
    TFormSearch& search = OpenSearch(records);
    window->show();
    search.show();
    // Closed while it searches: the rows are there when it is shown again.
    search.BitBtn1Click();
    QTest::mouseClick(search.findChild<QWidget*>("BitBtn2"), Qt::LeftButton);
    EXPECT_FALSE(search.isVisible());
    ASSERT_TRUE(WaitUntil([&] { return !search.Searching() && search.Results().rowCount() == 3000; }));
    window->Search1Click();
    EXPECT_EQ(window->SearchWindow(), &search);
    EXPECT_TRUE(search.isVisible());

    // A box deleted while a search runs: no row shows an item it took along.
    search.BitBtn1Click();
    QTreeWidgetItem* even = nullptr;
    for (int i = 0; i < Root(*window, 0)->childCount(); ++i)
        if (Root(*window, 0)->child(i)->text(0) == "Even") even = Root(*window, 0)->child(i);
    ASSERT_NE(even, nullptr);
    Select(*window, even);
    window->Tree()->setFocus();
    dialogs.confirmAnswers << true;
    window->Action("Deletemp3file1")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return !search.Searching(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(window->Library()->Count(), 1500);
    EXPECT_EQ(search.Results().rowCount(), 1500);
    EXPECT_EQ(search.StatusText(), "1500 items, 0 items selected");
    for (int i = 0; i < search.Results().rowCount(); ++i) ASSERT_NE(search.Results().Row(i).item->ListOrder(), 0u);

    // The main window ends while a search runs: the search ends first, and
    // the window searches nothing more.
    search.BitBtn1Click();
    window->FormDestroy();
    EXPECT_EQ(search.Results().rowCount(), 0);
    search.BitBtn1Click();
    QCoreApplication::processEvents();
    EXPECT_EQ(search.Results().rowCount(), 0);
}

TEST_F(SearchTest, CtrlFOpensTheSearchOutsideTheTree) {
    mp3::WriteFile(data / "tune.crate", Database());
    window = Open();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_TRUE(window->Action("Search1")->isEnabled());
    window->ListView()->setFocus();
    QTest::keyClick(window->ListView(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_NE(window->SearchWindow(), nullptr);
    EXPECT_TRUE(window->SearchWindow()->isVisible());
}
