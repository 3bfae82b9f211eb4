#include "playback/playerpanel.h"

#include <QFile>
#include <QLabel>
#include <algorithm>
#include <cmath>

#include "ui/imagebutton.h"

namespace {

constexpr int kPanelHeight = 70;

// Where the volume knob may stand, from the track's left edge: the drag
// scale spans the track less 43 pixels, the start-up scale the whole track.
constexpr int kVolumeLeftMargin = 15;
constexpr int kVolumeRightMargin = 28;
constexpr int kVolumeScaleLoss = 43;
constexpr int kStartRightMargin = 29;
// The position knob keeps 2 pixels from the track's left end and 9 from its right.
constexpr int kPositionLeftMargin = 2;
constexpr int kPositionRightMargin = 9;

TImageButton* Button(QWidget* parent, const char* name, QRect geometry) {
    auto* button = new TImageButton(parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    return button;
}

QWidget* Group(QWidget* parent, const char* name, QRect geometry) {
    auto* group = new QWidget(parent);
    group->setObjectName(name);
    group->setGeometry(geometry);
    return group;
}

} // namespace

TPlayerPanel::TPlayerPanel(QWidget* parent) : QWidget(parent) {
    setObjectName("bsSkinPanelControl");
    setFixedHeight(kPanelHeight);
    buttons_ = Group(this, "bsSkinPanelPlay", {46, 2, 127, 66});
    previous_ = Button(buttons_, "ImageButton1", {3, 10, 32, 32});
    play_ = Button(buttons_, "ImageButtonPlayer", {47, 6, 40, 40});
    next_ = Button(buttons_, "ImageButton3", {91, 10, 32, 32});
    volumeTrack_ = Button(buttons_, "Image1", {12, 49, 110, 13});
    volumeKnob_ = Button(buttons_, "ImageButton2", {56, 49, 9, 12});
    process_ = Group(this, "bsSkinPanelProcess", {320, 7, 284, 55});
    title_ = new QLabel(process_);
    title_->setObjectName("LabelTitle");
    title_->setGeometry(8, 15, 265, 13);
    QFont font = title_->font();
    font.setPixelSize(12);
    title_->setFont(font);
    positionTrack_ = Button(process_, "Image2", {15, 35, 242, 11});
    positionKnob_ = Button(process_, "ImageButton4", {19, 37, 7, 7});
    spacer_ = Group(this, "bsSkinPanelVolumeControl", {712, 5, 65, 59});
    spacer_->hide();
    previous_->setToolTip("上一首");
    next_->setToolTip("下一首");

    connect(previous_, &TImageButton::clicked, this, &TPlayerPanel::PreviousClicked);
    connect(play_, &TImageButton::clicked, this, &TPlayerPanel::PlayClicked);
    connect(next_, &TImageButton::clicked, this, &TPlayerPanel::NextClicked);

    for (TImageButton* knob : {volumeKnob_, positionKnob_}) {
        connect(knob, &TImageButton::MouseDown, this, [knob](QPoint position) {
            knob->MouseX = position.x();
            knob->MouseY = position.y();
            knob->MouseDowned = true;
        });
    }
    connect(volumeKnob_, &TImageButton::MouseMove, this, &TPlayerPanel::ImageButton2MouseMove);
    connect(volumeKnob_, &TImageButton::MouseUp, this, [this] { volumeKnob_->MouseDowned = false; });
    connect(volumeTrack_, &TImageButton::MouseDown, this, [this](QPoint position) { Image1MouseDown(position.x()); });
    connect(positionKnob_, &TImageButton::MouseMove, this, &TPlayerPanel::ImageButton4MouseMove);
    connect(positionKnob_, &TImageButton::MouseUp, this, [this] {
        positionKnob_->MouseDowned = false;
        emit PositionChosen();
    });
}

void TPlayerPanel::LoadPictures(const QString& skinFolder) {
    const auto picture = [&](const char* name) {
        const QString file = skinFolder + "/player/" + name + ".svg";
        return QFile::exists(file) ? QIcon(file) : QIcon();
    };
    const struct {
        TImageButton* button;
        const char* icon;
        const char* pressed;
    } pictures[] = {
        {previous_, "previous", "previous-down"},  {next_, "next", "next-down"},
        {play_, "play", "play-down"},               {volumeTrack_, "volume-track", "volume-track"},
        {volumeKnob_, "volume-knob", "volume-knob"}, {positionTrack_, "position-track", "position-track"},
        {positionKnob_, "position-knob", "position-knob"},
    };
    for (const auto& entry : pictures) {
        entry.button->SetIconEnter(picture(entry.pressed));
        entry.button->SetIcon(picture(entry.icon));
    }
    play_->SetIcon2(picture("pause"));
    play_->SetIconEnter2(picture("pause-down"));
    play_->SetState(play_->State());
}

void TPlayerPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    bsSkinPanelControlResize();
}

void TPlayerPanel::bsSkinPanelControlResize() {
    const int w = width();
    const int group = buttons_->width(), spacer = spacer_->width(), process = process_->width();
    if (w < 300) {
        buttons_->move((w - group) / 2, buttons_->y());
        spacer_->hide();
        process_->hide();
        return;
    }
    const int left = w < 600 ? (w - group - spacer) / 3 : (w - group - spacer - process) / 4;
    buttons_->move(left, buttons_->y());
    spacer_->move(w - left - spacer, spacer_->y());
    spacer_->show();
    if (w < 600) {
        process_->hide();
    } else {
        process_->move((w - process) / 2, process_->y());
        process_->show();
    }
}

// ---- the position slider -------------------------------------------------------

void TPlayerPanel::ShowPosition(uint32_t offset, uint32_t range) {
    if (positionKnob_->MouseDowned || range == 0) return;
    const int64_t knob = positionKnob_->width();
    const int64_t left = int64_t(offset) * (positionTrack_->width() - knob) / int64_t(range) + positionTrack_->x() +
                         knob / 2;
    positionKnob_->move(int(left), positionKnob_->y());
}

uint32_t TPlayerPanel::KnobOffset(uint32_t range) const {
    const int64_t knob = positionKnob_->width();
    const int64_t travel = positionTrack_->width() - knob;
    if (travel <= 0) return 0;
    return uint32_t((positionKnob_->x() - positionTrack_->x() + knob / 2) * int64_t(range) / travel);
}

void TPlayerPanel::ImageButton4MouseMove(QPoint position) {
    if (!positionKnob_->MouseDowned) return;
    const int least = positionTrack_->x() + kPositionLeftMargin;
    const int most = positionTrack_->x() + positionTrack_->width() - kPositionRightMargin;
    positionKnob_->move(std::clamp(positionKnob_->x() + position.x() - positionKnob_->MouseX, least, most),
                        positionKnob_->y());
}

// ---- the volume slider ---------------------------------------------------------

int TPlayerPanel::VolumeOfKnob() const {
    const int scale = volumeTrack_->width() - kVolumeScaleLoss;
    if (scale <= 0) return 0;
    return (volumeKnob_->x() - volumeTrack_->x() - kVolumeLeftMargin) * 65535 / scale;
}

void TPlayerPanel::ClampVolumeKnob() {
    const int least = volumeTrack_->x() + kVolumeLeftMargin;
    const int most = volumeTrack_->x() + volumeTrack_->width() - kVolumeRightMargin;
    volumeKnob_->move(std::clamp(volumeKnob_->x(), least, most), volumeKnob_->y());
}

void TPlayerPanel::ImageButton2MouseMove(QPoint position) {
    if (!volumeKnob_->MouseDowned) return;
    volumeKnob_->move(volumeKnob_->x() + position.x() - volumeKnob_->MouseX, volumeKnob_->y());
    ClampVolumeKnob();
    emit VolumeChosen(uint16_t(VolumeOfKnob()));
}

void TPlayerPanel::Image1MouseDown(int x) {
    volumeKnob_->move(volumeTrack_->x() + x - volumeKnob_->width() / 2, volumeKnob_->y());
    ClampVolumeKnob();
    emit VolumeChosen(uint16_t(VolumeOfKnob()));
}

void TPlayerPanel::Volume1Click() { Image1MouseDown(volumeKnob_->x() - volumeTrack_->x() + 10); }

void TPlayerPanel::Volume2Click() { Image1MouseDown(volumeKnob_->x() - volumeTrack_->x() - 5); }

void TPlayerPanel::PlaceVolumeKnob(uint32_t volume) {
    const float scaled = float(volume & 0xffff) * float(volumeTrack_->width()) / 65535.0f;
    int left = int(std::nearbyint(scaled)) + kVolumeLeftMargin + volumeTrack_->x();
    left = std::min(left, volumeTrack_->x() + volumeTrack_->width() - kStartRightMargin);
    volumeKnob_->move(left, volumeKnob_->y());
}

void TPlayerPanel::MoveVolumeKnobTo(uint16_t volume) {
    const int scale = std::max(0, volumeTrack_->width() - kVolumeScaleLoss);
    volumeKnob_->move(volumeTrack_->x() + kVolumeLeftMargin + (volume * scale + 32767) / 65535, volumeKnob_->y());
    ClampVolumeKnob();
}
