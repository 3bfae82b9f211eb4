#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

#include "platform/mixer.h"
#include "playback/mpris.h"

class QAction;
class TBOX;
class TMObj;
class TPlayerPanel;
class TXaudioPlayer;
class TtcrateFormMain;

// Plays the library: the now-playing queue (the library's NowPlayingBox and
// NowPlayingIndex, kept in the database), the commands that fill it and move
// through it, the player's notices, the title line, the playing mark, the
// master volume and the channels. The queue repeats without end.
class TPlayControl : public QObject, public TMprisTarget {
    Q_OBJECT
public:
    TPlayControl(TtcrateFormMain& window, TXaudioPlayer& player, TPlayerPanel& panel, TMixer& mixer);

    // Plays the queue entry at NowPlayingIndex; entries whose file has gone
    // leave the queue on the way to the next one that exists.
    void PlayCurrentItem();
    void ImageButtonPlayerClick();
    void ImageButton3Click(); // next
    void ImageButton1Click(); // previous
    // The track list's selection: in the now-playing view the chosen entry,
    // elsewhere the selected rows (boxes with all they hold) as a new queue.
    void Play1Click();
    // A whole box as the new queue: the tree's selected one, the favourites,
    // the playlist.
    void Plsy1Click();
    void PlayMyFavour1Click();
    void PlayPlaylist1Click();
    // Replaces the queue with items and plays its first entry.
    void PlayItems(const std::vector<TMObj*>& items);
    // A channel item: its hint tells the channels (0 stereo, 1 left, 2 right, 3 mixed).
    void StereoClick(QAction* item);
    void Volume1Click();
    void Volume2Click();
    // Once, at start: the volume knob from the master volume.
    void PlaceVolumeKnob();

    TMObj* PlayingItem() const { return playing_; }
    // The library is about to go: nothing of it is played or shown any more.
    void ForgetPlayingItem();
    // What LabelTitle shows for an item.
    static QString TitleLine(const TMObj& item);

    // What the desktop's media controls see and ask.
    TStatus Status() const override;
    std::optional<TTrack> Track() const override;
    qint64 PositionUs() const override;
    double Volume() const override;
    void SetVolume(double volume) override;
    bool HasQueue() const override;
    bool CanSeek() const override;
    void PlayPause() override { ImageButtonPlayerClick(); }
    void Play() override;
    void Pause() override;
    void Stop() override;
    void Next() override { ImageButton3Click(); }
    void Previous() override { ImageButton1Click(); }
    void SeekBy(qint64 offsetUs) override;
    void SetPositionUs(qint64 positionUs) override;
    void Raise() override;
    void Quit() override;

signals:
    // An item started: its title line, for the tray icon's tip.
    void TitleLineChanged(const QString& titleLine);
    // The status, the entry or the volume changed.
    void Changed();
    void Seeked(qint64 positionUs);

private:
    void FPlayerNotifyPlayerState(int state);
    void FPlayerNotifyInputPosition(quint32 offset, quint32 range);
    void FPlayerNotifyError(quint8 source, qint16 code);
    // The entry cannot be played: say so and go on, unless every entry
    // failed in a row.
    void SkipUnplayable();
    void PlayBox(TBOX* box);
    // Every change of the queue: under the library's lock, and the
    // now-playing view lists the queue anew.
    void ChangeQueue(const std::function<void(TBOX&)>& change);
    // Shows what came of a volume access; while the knob is held, a failure
    // is told once.
    void Report(TMixerResult result);
    void SetMasterVolume(uint16_t volume);
    qint64 LengthUs() const;
    void SeekToUs(qint64 positionUs);

    TtcrateFormMain& window_;
    TXaudioPlayer& player_;
    TPlayerPanel& panel_;
    TMixer& mixer_;
    TMObj* playing_ = nullptr;
    TStatus status_ = TStatus::Stopped;
    quint32 duration_ = 0;   // seconds, as the decoder last told
    int failedInARow_ = 0;
    bool mixerFailureShown_ = false;
};
