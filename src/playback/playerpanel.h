#pragma once

#include <QWidget>
#include <cstdint>

class QLabel;
class TImageButton;

// The player panel at the top of the main window: previous, play/pause and
// next with the volume slider below them, the title line with the position
// slider, and an empty spacer. The knobs move by the slider rules below; the
// panel says what the user chose, and the play control acts on it.
class TPlayerPanel : public QWidget {
    Q_OBJECT
public:
    explicit TPlayerPanel(QWidget* parent = nullptr);

    // Loads the pictures of a skin's "player" folder.
    void LoadPictures(const QString& skinFolder);

    TImageButton* ImageButton1() const { return previous_; }
    TImageButton* ImageButtonPlayer() const { return play_; }
    TImageButton* ImageButton3() const { return next_; }
    TImageButton* ImageButton2() const { return volumeKnob_; }
    TImageButton* ImageButton4() const { return positionKnob_; }
    TImageButton* Image1() const { return volumeTrack_; }
    TImageButton* Image2() const { return positionTrack_; }
    QLabel* LabelTitle() const { return title_; }
    QWidget* bsSkinPanelPlay() const { return buttons_; }
    QWidget* bsSkinPanelProcess() const { return process_; }
    QWidget* bsSkinPanelVolumeControl() const { return spacer_; }

    // The position knob for a position notice; a range of 0 leaves it, and
    // so does a drag in progress.
    void ShowPosition(uint32_t offset, uint32_t range);
    // The offset of the position knob where it stands, in a range.
    uint32_t KnobOffset(uint32_t range) const;

    // The volume a knob position stands for, by the drag scale.
    int VolumeOfKnob() const;
    // The start-up placement from the master volume's low 16 bits.
    void PlaceVolumeKnob(uint32_t volume);
    // The knob where the drag scale reads the volume (a volume set from
    // elsewhere).
    void MoveVolumeKnobTo(uint16_t volume);
    // A press on the volume track at x, relative to the track.
    void Image1MouseDown(int x);
    // Volume up (F8) and down (F7): a press just right or left of the knob.
    void Volume1Click();
    void Volume2Click();

signals:
    void PreviousClicked();
    void PlayClicked();
    void NextClicked();
    // The volume knob moved to a new volume.
    void VolumeChosen(uint16_t volume);
    // The position knob was let go: seek to where it stands.
    void PositionChosen();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void bsSkinPanelControlResize();
    void ClampVolumeKnob();
    void ImageButton2MouseMove(QPoint position);
    void ImageButton4MouseMove(QPoint position);

    QWidget* buttons_;
    QWidget* process_;
    QWidget* spacer_;
    TImageButton* previous_;
    TImageButton* play_;
    TImageButton* next_;
    TImageButton* volumeTrack_;
    TImageButton* volumeKnob_;
    QLabel* title_;
    TImageButton* positionTrack_;
    TImageButton* positionKnob_;
};
