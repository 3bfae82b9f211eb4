#include <QAction>
#include <QTextEdit>
#include <QTreeView>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>

#include "browser/infopanel.h"
#include "browser/tracklist.h"
#include "browser/tracklistctl.h"
#include "core/sysinfo.h"
#include "media/mediaenv.h"
#include "media/mp3tag.h"
#include "playback/lyrics.h"
#include "playback/xaudioplayer.h"
#include "ui/dialogs.h"
#include "ui/listdrawing.h"
#include "playfixture.h"


// ---- the queue -------------------------------------------------------------------

TEST_F(PlayTest, NextAndPreviousGoRoundTheQueueAndAnEmptyQueuePlaysNothing) {
    auto window = OpenWith({Song("a.mp3", "A", "x"), Song("b.mp3", "B", "x"), Song("c.mp3", "C", "x"),
                            Song("d.mp3", "D", "x")});
    TPlayControl& play = window->PlayControl();
    TTUNECRATE& library = *window->Library();

    Queue(*window, {}, -1);
    play.ImageButton3Click();
    EXPECT_EQ(library.NowPlayingIndex, 0);
    play.ImageButton1Click();
    EXPECT_EQ(library.NowPlayingIndex, -1);
    EXPECT_FALSE(window->Player().Opened());

    Queue(*window, {0, 1, 2}, 2);
    play.ImageButton3Click();
    EXPECT_EQ(library.NowPlayingIndex, 0);
    EXPECT_EQ(Playing(*window), "A");
    play.ImageButton1Click();
    EXPECT_EQ(library.NowPlayingIndex, 2);
    EXPECT_EQ(Playing(*window), "C");

    Queue(*window, {3}, 0);
    play.ImageButton3Click();
    EXPECT_EQ(Playing(*window), "D");
    play.ImageButton1Click();
    EXPECT_EQ(Playing(*window), "D");
    EXPECT_EQ(library.NowPlayingIndex, 0);
}

TEST_F(PlayTest, AStoredIndexPastTheEndWaitsForNext) {
    auto window = OpenWith({Song("a.mp3", "A", "x"), Song("b.mp3", "B", "x"), Song("c.mp3", "C", "x"),
                            Song("d.mp3", "D", "x")});
    Queue(*window, {0, 1, 2, 3}, 5);
    window->PlayControl().ImageButtonPlayerClick();
    EXPECT_FALSE(window->Player().Opened());
    EXPECT_EQ(Playing(*window), "");
    window->PlayControl().ImageButton3Click();
    EXPECT_EQ(window->Library()->NowPlayingIndex, 0);
    EXPECT_EQ(Playing(*window), "A");
}

TEST_F(PlayTest, MissingFilesLeaveTheQueueOnTheWayToOneThatExists) {
    auto window = OpenWith({Song("a.mp3", "A", "x"), Song("b.mp3", "B", "x"), Song("c.mp3", "C", "x")});
    Queue(*window, {0, 1, 2}, 0);
    std::filesystem::remove(data / "b.mp3");
    window->PlayControl().ImageButton3Click();
    EXPECT_EQ(window->StatusText(), QString::fromStdString(data / "b.mp3") + " 没有找到 !");
    EXPECT_EQ(QueueNames(*window), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(Playing(*window), "C");
    EXPECT_EQ(window->Library()->NowPlayingIndex, 1);

    // Round the end: the entries after the index go, then those before it.
    Queue(*window, {0, 1, 2, 0}, 2);
    std::filesystem::remove(data / "a.mp3");
    window->PlayControl().ImageButton3Click();
    EXPECT_EQ(QueueNames(*window), (std::vector<std::string>{"C"}));
    EXPECT_EQ(window->Library()->NowPlayingIndex, 0);
    EXPECT_EQ(Playing(*window), "C");
}

TEST_F(PlayTest, AQueueOfMissingFilesEmptiesItselfAndStops) {
    auto window = OpenWith({Song("a.mp3", "A", "x")});
    std::filesystem::remove(data / "a.mp3");
    // As many entries as a large library gives, all of one missing file.
    TBOX& queue = window->Library()->NowPlayingBox;
    for (int i = 0; i < 100000; ++i) queue.AddItem(window->Library()->GetItem(0));
    window->Library()->SetNowPlayingIndex(40000);
    window->PlayControl().PlayCurrentItem();
    EXPECT_EQ(queue.ItemCount(), 0);
    EXPECT_FALSE(queue.Contains(window->Library()->GetItem(0)));
    EXPECT_EQ(window->Library()->NowPlayingIndex, 0);
    EXPECT_FALSE(window->Player().Opened());
    EXPECT_TRUE(window->StatusText().endsWith(" 没有找到 !"));
}

TEST_F(PlayTest, UnplayableFilesAreSkippedAndKeptAndAQueueOfThemStops) {
    auto window = OpenWith({Song("a.mp3", "A", "x"), Song("b.mp3", "B", "x"), Song("c.mp3", "C", "x")});
    mp3::WriteFile(data / "a.mp3", "not audio at all");
    Queue(*window, {0, 1}, 0);
    window->PlayControl().PlayCurrentItem();
    ASSERT_TRUE(WaitUntil([&] { return Playing(*window) == "B"; }));
    EXPECT_EQ(window->StatusText(), QString::fromStdString(data / "a.mp3") + " 无法播放 !");
    EXPECT_EQ(QueueNames(*window), (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(Plays(*window));

    mp3::WriteFile(data / "c.mp3", "not audio either");
    Queue(*window, {0, 2}, 0);
    window->PlayControl().PlayCurrentItem();
    ASSERT_TRUE(WaitUntil([&] { return !window->Player().Opened(); }));
    EXPECT_EQ(QueueNames(*window).size(), 2u);
    QTest::qWait(100);
    EXPECT_FALSE(window->Player().Opened());
}

TEST_F(PlayTest, AnItemPlaysToItsEndAndTheNextBegins) {
    auto window = OpenWith({Song("a.mp3", "A", "x"), Song("b.mp3", "B", "x")});
    Queue(*window, {0, 1}, 0);
    window->PlayControl().ImageButtonPlayerClick();
    ASSERT_TRUE(Plays(*window));
    EXPECT_EQ(window->Action("Play4")->text(), "暂停");
    EXPECT_EQ(window->Action("NPlay")->text(), "暂停");
    ASSERT_TRUE(WaitUntil([&] { return window->Library()->NowPlayingIndex == 1; }, 10000));
    EXPECT_EQ(Playing(*window), "B");

    // The button pauses while it shows pause, and plays again.
    ASSERT_TRUE(Plays(*window));
    window->PlayerPanel()->ImageButtonPlayer()->clicked();
    ASSERT_TRUE(WaitUntil([&] { return window->PlayerPanel()->ImageButtonPlayer()->State(); }));
    EXPECT_EQ(window->Action("Play4")->text(), "播放");
    EXPECT_EQ(window->PlayControl().Status(), TMprisTarget::TStatus::Paused);
    window->PlayerPanel()->ImageButtonPlayer()->clicked();
    EXPECT_TRUE(Plays(*window));
}

TEST_F(PlayTest, NoticesAfterTheShutDownFindNothingToPlay) {
    auto window = OpenWith({Song("a.mp3", "A", "x")});
    Queue(*window, {0}, 0);
    window->PlayControl().PlayCurrentItem();
    window->FormDestroy();
    EXPECT_EQ(window->PlayControl().PlayingItem(), nullptr);
    EXPECT_FALSE(window->PlayControl().Track().has_value());
    emit window->Player().OnNotifyError(XA_SOURCE_INPUT, XA_ERROR_OPEN_FAILED, "gone");
    emit window->Player().OnNotifyPlayerState(XA_PLAYER_STATE_EOS);
    EXPECT_EQ(window->PlayControl().PlayingItem(), nullptr);
}

TEST_F(PlayTest, TheSelectionBecomesTheQueueAndTheQueueViewChoosesWhereItStands) {
    auto window = OpenWith({Song("a.mp3", "A", "x"), Song("b.mp3", "B", "y"), Song("c.mp3", "C", "y")});
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    TTrackListModel& model = window->TrackList().Model();
    QTreeView* list = window->ListView();
    const auto open = [&](QTreeWidgetItem* node, int rows) {
        Select(*window, node);
        // Until the rows are the box's own, the list shows the box before.
        const TBOX* box = TBoxTreeController::BoxOf(node);
        const auto listed = [&] {
            for (int i = 0; i < model.rowCount(); ++i) {
                const TTrackRow& row = model.Row(i);
                if (row.box != nullptr ? row.box->Parent() != box : !box->Contains(row.item)) return false;
            }
            return !window->TrackList().Building() && model.rowCount() == rows;
        };
        ASSERT_TRUE(WaitUntil(listed));
    };
    // The all-items box lists the artists x and y: playing both box rows
    // queues all they hold.
    open(Root(*window, 0), 2);
    list->selectAll();
    window->Action("Play1")->trigger();
    EXPECT_EQ(QueueNames(*window), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(window->Library()->NowPlayingIndex, 0);
    // A double click on an item row plays the selection.
    open(Root(*window, 0)->child(1), 2);
    list->setFocus();
    list->setCurrentIndex(model.index(1, 0));
    window->TrackList().ListView1DblClick();
    EXPECT_EQ(QueueNames(*window), (std::vector<std::string>{"C"}));
    EXPECT_EQ(Playing(*window), "C");

    // The same item queued at positions 1 and 3, chosen in the queue's view
    // (listed by title: A, B, B, C).
    Queue(*window, {0, 1, 2, 1}, 0);
    open(Root(*window, 3), 4);
    list->selectionModel()->select(model.index(2, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    window->PlayControl().Play1Click();
    EXPECT_EQ(window->Library()->NowPlayingIndex, 3);
    EXPECT_EQ(QueueNames(*window), (std::vector<std::string>{"A", "B", "C", "B"}));
    // The first row of the playing item carries the mark.
    EXPECT_EQ(model.PlayingRow(), 1);
    EXPECT_EQ(model.data(model.index(1, 0), TRowDelegate::StateImageRole).toInt(), 4);
    EXPECT_EQ(model.data(model.index(2, 0), TRowDelegate::StateImageRole).toInt(), -1);

    // Play on the queue's own box starts it anew, unchanged.
    window->PlayControl().Plsy1Click();
    EXPECT_EQ(QueueNames(*window), (std::vector<std::string>{"A", "B", "C", "B"}));
    EXPECT_EQ(window->Library()->NowPlayingIndex, 0);
    // A queue changed while it is listed is listed anew.
    window->PlayControl().PlayMyFavour1Click();
    EXPECT_TRUE(QueueNames(*window).empty());
    EXPECT_TRUE(WaitUntil([&] { return !window->TrackList().Building() && model.rowCount() == 0; }));
}

TEST(TitleLine, TheArtistComesFirstUnlessTheTitleHoldsIt) {
    struct Case {
        const char* artist;
        const char* title;
        const char* line;
    };
    const Case cases[] = {{"Ann", "Song by Ann", "Song by Ann"},
                          {"Bo", "Song by Ann", "Bo  Song by Ann"},
                          {"", "Song by Ann", "  Song by Ann"},
                          {"ann", "Song by Ann", "ann  Song by Ann"}};
    TempDir data;
    TMediaEnvironment environment(data.Path(), "GB18030");
    for (const Case& c : cases) {
        TMP3Tag item(environment);
        item.LoadFromText(std::string("filename=/m/a.mp3\r\nTIT2=") + c.title + "\r\nTPE1=" + c.artist + "\r\n");
        EXPECT_EQ(TPlayControl::TitleLine(item), QString::fromUtf8(c.line)) << c.artist;
    }
}

// ---- volume, channels, lyrics ----------------------------------------------------

TEST_F(PlayTest, TheMasterVolumeFollowsTheKnobAndItsFailuresAreTold) {
    mixer.volume = 39619;
    auto window = OpenWith({});
    TPlayerPanel& panel = *window->PlayerPanel();
    EXPECT_EQ(panel.ImageButton2()->x() - panel.Image1()->x(), 81);
    window->Action("Volume4")->trigger();
    EXPECT_EQ(mixer.sets.back(), panel.VolumeOfKnob());
    EXPECT_EQ(window->PlayControl().Volume(), mixer.volume / 65535.0);
    EXPECT_TRUE(dialogs.requests.isEmpty());

    // Each failure in its own words; a drag tells it once.
    mixer.setResult = TMixerResult::WriteError;
    window->Action("Volume3")->trigger();
    mixer.setResult = TMixerResult::NoLine;
    window->Action("Volume3")->trigger();
    mixer.setResult = TMixerResult::LineInfoError;
    TImageButton* knob = panel.ImageButton2();
    QTest::mousePress(knob, Qt::LeftButton, {}, QPoint(3, 3));
    for (int x : {0, -5, -10}) {
        QMouseEvent move(QEvent::MouseMove, QPointF(x, 3), knob->mapToGlobal(QPointF(x, 3)), Qt::NoButton,
                         Qt::LeftButton, {});
        QCoreApplication::sendEvent(knob, &move);
    }
    QTest::mouseRelease(knob, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(dialogs.Texts(TScriptedDialogs::Kind::Error), (QStringList{"SetControlDetails Error", "GetLineInfo Error"}));

    // Read at start.
    mixer.getResult = TMixerResult::ReadError;
    auto second = OpenWith({});
    EXPECT_EQ(dialogs.Texts(TScriptedDialogs::Kind::Error).last(), "GetControlDetails Error");
}

TEST_F(PlayTest, TheChannelItemsAreOneRadioGroupStartingAtStereo) {
    auto window = OpenWith({});
    EXPECT_TRUE(window->Action("Stereo")->isChecked());
    window->Action("MonoRight")->trigger();
    EXPECT_TRUE(window->Action("MonoRight")->isChecked());
    EXPECT_FALSE(window->Action("Stereo")->isChecked());
    EXPECT_EQ(window->Action("MonoRight")->toolTip(), "2");
}

TEST_F(PlayTest, LyricsShowWhenAnItemIsSelectedOrStartsAsTheOptionsSay) {
    auto window = OpenWith({Song("a.mp3", "A", "x", "First\r\nSecond"), Song("b.mp3", "B", "x")});
    EXPECT_EQ(window->LyricsWindow(), nullptr);
    // Starting to play shows them only when asked.
    Queue(*window, {0, 1}, 0);
    window->PlayControl().PlayCurrentItem();
    EXPECT_EQ(window->LyricsWindow(), nullptr);
    window->Settings().WriteBool("auto_show_lyric_playing", true);
    window->PlayControl().PlayCurrentItem();
    ASSERT_NE(window->LyricsWindow(), nullptr);
    EXPECT_TRUE(window->LyricsWindow()->isVisible());
    EXPECT_EQ(window->LyricsWindow()->windowTitle(), "lyrics");
    EXPECT_EQ(window->LyricsWindow()->RichEdit1()->toPlainText(), "First\nSecond");

    // An empty text hides the window; the lyrics command shows the current item's.
    window->ShowLyrics("lyrics", "");
    EXPECT_FALSE(window->LyricsWindow()->isVisible());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    Select(*window, Root(*window, 0)->child(0));
    ASSERT_TRUE(WaitUntil([&] { return window->TrackList().Model().rowCount() == 2; }));
    window->Settings().WriteBool("lyrics.windows.autodisplay", false);
    window->ListView()->selectionModel()->select(window->TrackList().Model().index(0, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    window->ListView()->setCurrentIndex(window->TrackList().Model().index(0, 0));
    ASSERT_NE(window->TrackList().CurrentItem(), nullptr);
    EXPECT_FALSE(window->LyricsWindow()->isVisible());
    window->Viewlyrics1Click();
    EXPECT_TRUE(window->LyricsWindow()->isVisible());

    // On selection, when the option is on (its default).
    window->ShowLyrics("lyrics", "");
    window->Settings().WriteBool("lyrics.windows.autodisplay", true);
    window->TrackList().UpdateInfoPanel();
    EXPECT_TRUE(window->LyricsWindow()->isVisible());
    // A double click on the lyrics row of the information panel shows them under its caption.
    emit window->PanelFile()->LyricsActivated("Lyrics row", "One\\nTwo");
    EXPECT_EQ(window->LyricsWindow()->windowTitle(), "Lyrics row");
    EXPECT_EQ(window->LyricsWindow()->RichEdit1()->toPlainText(), "One\nTwo");
}

TEST_F(PlayTest, TheMediaControlsSeeTheEntryTheStatusAndThePosition) {
    auto window = OpenWith({Song("a.mp3", "Song", "Ann")});
    TPlayControl& play = window->PlayControl();
    EXPECT_FALSE(play.Track().has_value());
    EXPECT_FALSE(play.HasQueue());
    EXPECT_EQ(play.Status(), TMprisTarget::TStatus::Stopped);
    Queue(*window, {0}, 0);
    play.Play();
    ASSERT_TRUE(Plays(*window));
    EXPECT_EQ(play.Status(), TMprisTarget::TStatus::Playing);
    const auto track = play.Track();
    ASSERT_TRUE(track.has_value());
    EXPECT_EQ(track->title, "Song");
    EXPECT_EQ(track->artist, "Ann");
    EXPECT_EQ(track->id, "/org/tunecrate/queue/0");
    EXPECT_TRUE(track->artUrl.isEmpty());
    EXPECT_TRUE(play.CanSeek());
    play.Pause();
    ASSERT_TRUE(WaitUntil([&] { return play.Status() == TMprisTarget::TStatus::Paused; }));
    play.SetPositionUs(track->lengthUs / 2);
    EXPECT_TRUE(WaitUntil([&] { return std::abs(play.PositionUs() - track->lengthUs / 2) < track->lengthUs / 10; }));
    EXPECT_EQ(play.Status(), TMprisTarget::TStatus::Paused);
}
