#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "playback/playerpanel.h"
#include "ui/imagebutton.h"

namespace {

class PlayerPanelTest : public ::testing::Test {
protected:
    PlayerPanelTest() {
        panel_.resize(800, 70);
        panel_.show();
    }

    int KnobFromTrack() const { return panel_.ImageButton2()->x() - panel_.Image1()->x(); }
    // Drags a knob by dx pixels, as the mouse does.
    static void Drag(TImageButton* knob, int dx) {
        QTest::mousePress(knob, Qt::LeftButton, {}, QPoint(3, 3));
        QMouseEvent move(QEvent::MouseMove, QPointF(3 + dx, 3), knob->mapToGlobal(QPointF(3 + dx, 3)), Qt::NoButton,
                         Qt::LeftButton, {});
        QCoreApplication::sendEvent(knob, &move);
        QTest::mouseRelease(knob, Qt::LeftButton, {}, QPoint(3 + dx, 3));
    }

    TPlayerPanel panel_;
    QSignalSpy volumes_{&panel_, &TPlayerPanel::VolumeChosen};
};

} // namespace

TEST_F(PlayerPanelTest, TheVolumeKnobReadsZeroToFullOverItsTravel) {
    panel_.Image1MouseDown(0);
    EXPECT_EQ(KnobFromTrack(), 15);
    EXPECT_EQ(volumes_.takeLast().at(0).value<uint16_t>(), 0);
    panel_.Image1MouseDown(200);
    EXPECT_EQ(KnobFromTrack(), 82);
    EXPECT_EQ(volumes_.takeLast().at(0).value<uint16_t>(), 65535);

    // F8 from the left end moves 6 pixels; F7 there stays.
    panel_.Image1MouseDown(0);
    panel_.Volume1Click();
    EXPECT_EQ(KnobFromTrack(), 21);
    EXPECT_EQ(volumes_.takeLast().at(0).value<uint16_t>(), 5868);
    panel_.Image1MouseDown(0);
    panel_.Volume2Click();
    EXPECT_EQ(KnobFromTrack(), 15);
    EXPECT_EQ(volumes_.takeLast().at(0).value<uint16_t>(), 0);
    // F7 from the middle moves 9 pixels left.
    panel_.Image1MouseDown(50);
    const int before = KnobFromTrack();
    panel_.Volume2Click();
    EXPECT_EQ(KnobFromTrack(), before - 9);

    // Dragging sets the volume on each move and stops at the ends.
    volumes_.clear();
    Drag(panel_.ImageButton2(), 30);
    EXPECT_EQ(KnobFromTrack(), before - 9 + 30);
    ASSERT_EQ(volumes_.size(), 1);
    Drag(panel_.ImageButton2(), 500);
    EXPECT_EQ(KnobFromTrack(), 82);
    EXPECT_FALSE(panel_.ImageButton2()->MouseDowned);
}

TEST_F(PlayerPanelTest, TheStartVolumePlacesTheKnobOnTheWholeTrack) {
    const std::pair<uint32_t, int> cases[] = {{0, 15}, {32768, 70}, {39618, 81}, {39619, 81}, {65535, 81},
                                              {0x10000 + 32768, 70}};
    for (const auto& [volume, knob] : cases) {
        panel_.PlaceVolumeKnob(volume);
        EXPECT_EQ(KnobFromTrack(), knob) << volume;
    }
    panel_.PlaceVolumeKnob(32768);
    EXPECT_EQ(panel_.VolumeOfKnob(), 53797);
    // A volume set from elsewhere puts the knob where the drag scale reads it.
    panel_.MoveVolumeKnobTo(32768);
    EXPECT_NEAR(panel_.VolumeOfKnob(), 32768, 65535 / 67);
}

TEST_F(PlayerPanelTest, ThePositionKnobFollowsNoticesAndSeeksWhereItIsLetGo) {
    TImageButton* knob = panel_.ImageButton4();
    const int track = panel_.Image2()->x();
    panel_.ShowPosition(0, 10000);
    EXPECT_EQ(knob->x(), track + 3);
    panel_.ShowPosition(10000, 10000);
    EXPECT_EQ(knob->x(), track + 235 + 3);
    panel_.ShowPosition(5000, 0);
    EXPECT_EQ(knob->x(), track + 238);
    // Offsets near the top of the 32-bit range do not overflow.
    panel_.ShowPosition(0xfffffffe, 0xffffffff);
    EXPECT_EQ(knob->x(), track + 237);

    // Let go where it stands: the offset counts half the knob again.
    QSignalSpy chosen(&panel_, &TPlayerPanel::PositionChosen);
    panel_.ShowPosition(0, 10000);
    Drag(knob, 0);
    EXPECT_EQ(chosen.size(), 1);
    EXPECT_EQ(panel_.KnobOffset(10000), 6u * 10000 / 235);
    // A drag is held to the track and no notice moves the knob meanwhile.
    QTest::mousePress(knob, Qt::LeftButton, {}, QPoint(3, 3));
    panel_.ShowPosition(5000, 10000);
    EXPECT_EQ(knob->x(), track + 3);
    QTest::mouseRelease(knob, Qt::LeftButton, {}, QPoint(3, 3));
    Drag(knob, -50);
    EXPECT_EQ(knob->x(), track + 2);
    Drag(knob, 1000);
    EXPECT_EQ(knob->x(), track + 242 - 9);
}

TEST_F(PlayerPanelTest, TheGroupsShowByTheWidth) {
    struct Case {
        int width;
        int buttons;
        bool spacer;
        bool process;
    };
    const Case cases[] = {{299, (299 - 127) / 2, false, false},
                          {300, (300 - 127 - 65) / 3, true, false},
                          {599, (599 - 127 - 65) / 3, true, false},
                          {600, (600 - 127 - 65 - 284) / 4, true, true}};
    panel_.show();
    for (const Case& c : cases) {
        panel_.resize(c.width, 70);
        EXPECT_EQ(panel_.bsSkinPanelPlay()->x(), c.buttons) << c.width;
        EXPECT_EQ(panel_.bsSkinPanelVolumeControl()->isVisible(), c.spacer) << c.width;
        EXPECT_EQ(panel_.bsSkinPanelProcess()->isVisible(), c.process) << c.width;
        if (c.spacer) {
            EXPECT_EQ(panel_.bsSkinPanelVolumeControl()->x(), c.width - c.buttons - 65) << c.width;
        }
        if (c.process) {
            EXPECT_EQ(panel_.bsSkinPanelProcess()->x(), (c.width - 284) / 2) << c.width;
        }
    }
}

TEST_F(PlayerPanelTest, EverySkinHasSharpPicturesAndThePlayButtonShowsItsState) {
    for (const char* skin : {"Clouds", "MacX", "Wistler"}) {
        panel_.LoadPictures(QStringLiteral(TCRATE_SOURCE_DIR "/resources/Skins/") + skin);
        for (TImageButton* button : {panel_.ImageButton1(), panel_.ImageButtonPlayer(), panel_.ImageButton3(),
                                     panel_.ImageButton2(), panel_.ImageButton4(), panel_.Image1(), panel_.Image2()}) {
            const QPixmap doubled = button->Icon().pixmap(button->size(), 2.0);
            EXPECT_EQ(doubled.size(), button->size() * 2) << skin << " " << button->objectName().toStdString();
        }
    }
    TImageButton* play = panel_.ImageButtonPlayer();
    EXPECT_EQ(&play->Shown(), &play->Icon());
    play->SetState(false);
    EXPECT_NE(play->Shown().cacheKey(), play->Icon().cacheKey());
    // Pressed, then let go outside: no click, the resting picture back.
    QSignalSpy clicks(&panel_, &TPlayerPanel::PlayClicked);
    QTest::mousePress(play, Qt::LeftButton, {}, QPoint(20, 20));
    const qint64 pressed = play->Shown().cacheKey();
    QTest::mouseRelease(play, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_NE(play->Shown().cacheKey(), pressed);
    EXPECT_EQ(clicks.size(), 0);
    QTest::mouseClick(play, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(clicks.size(), 1);
}
