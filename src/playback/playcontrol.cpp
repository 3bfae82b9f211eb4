#include "playback/playcontrol.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <mutex>

#include "browser/boxtree.h"
#include "browser/mainwindow.h"
#include "browser/tracklist.h"
#include "browser/tracklistctl.h"
#include "core/box.h"
#include "core/library.h"
#include "core/sysinfo.h"
#include "media/mobj.h"
#include "playback/playerpanel.h"
#include "playback/xaudioplayer.h"
#include "ui/dialogs.h"
#include "ui/imagebutton.h"
#include "ui/images.h"

namespace {

bool IsFile(const std::string& name) {
    std::error_code error;
    return std::filesystem::is_regular_file(name, error);
}

QString Text(const std::string& text) { return QString::fromStdString(text); }

constexpr qint64 kMicroseconds = 1000000;

} // namespace

TPlayControl::TPlayControl(TtcrateFormMain& window, TXaudioPlayer& player, TPlayerPanel& panel, TMixer& mixer)
    : QObject(&window), window_(window), player_(player), panel_(panel), mixer_(mixer) {
    connect(&player_, &TXaudioPlayer::OnNotifyPlayerState, this, &TPlayControl::FPlayerNotifyPlayerState);
    connect(&player_, &TXaudioPlayer::OnNotifyInputPosition, this, &TPlayControl::FPlayerNotifyInputPosition);
    connect(&player_, &TXaudioPlayer::OnNotifyInputDuration, this, [this](quint32 seconds) { duration_ = seconds; });
    connect(&player_, &TXaudioPlayer::OnNotifyError, this,
            [this](quint8 source, qint16 code, const QString&) { FPlayerNotifyError(source, code); });
    connect(&panel_, &TPlayerPanel::PreviousClicked, this, &TPlayControl::ImageButton1Click);
    connect(&panel_, &TPlayerPanel::PlayClicked, this, &TPlayControl::ImageButtonPlayerClick);
    connect(&panel_, &TPlayerPanel::NextClicked, this, &TPlayControl::ImageButton3Click);
    connect(&panel_, &TPlayerPanel::VolumeChosen, this, &TPlayControl::SetMasterVolume);
    connect(&panel_, &TPlayerPanel::PositionChosen, this, [this] {
        player_.InputSeek(panel_.KnobOffset(player_.Range()));
        emit Seeked(PositionUs());
    });
    connect(panel_.ImageButton2(), &TImageButton::MouseDown, this, [this] { mixerFailureShown_ = false; });
}

QString TPlayControl::TitleLine(const TMObj& item) {
    const std::string title = item.GetTitle(), artist = item.GetArtist();
    if (!artist.empty() && title.find(artist) != std::string::npos) return Text(title);
    return Text(artist) + "  " + Text(title);
}

void TPlayControl::ForgetPlayingItem() {
    playing_ = nullptr;
    window_.TrackList().Model().SetPlayingItem(nullptr);
}

// ---- the queue -------------------------------------------------------------------

void TPlayControl::PlayCurrentItem() {
    TTUNECRATE* library = window_.Library();
    if (library == nullptr) return;
    TBOX& queue = library->NowPlayingBox;
    const int count = queue.ItemCount();
    const int index = library->NowPlayingIndex;
    if (index < 0 || index >= count) return;
    window_.TrackList().Model().SetPlayingItem(nullptr);

    // Entries whose file has gone leave the queue, each followed by the next
    // one (round the end), until one is found that exists. A walk, not a
    // chain of calls: a queue of any length of missing files ends here.
    std::vector<int> missing;
    int found = -1;
    for (int at = index; int(missing.size()) < count; at = (at + 1) % count) {
        if (IsFile(queue.GetItem(at)->GetFileName())) {
            found = at;
            break;
        }
        missing.push_back(at);
    }
    if (!missing.empty()) {
        window_.ShowStatusText(Text(queue.GetItem(missing.back())->GetFileName()) + " 没有找到 !");
        std::sort(missing.begin(), missing.end());
        TMObj* chosen = found >= 0 ? queue.GetItem(found) : nullptr;
        ChangeQueue([&](TBOX& box) { box.RemoveItemsAt(missing); });
        found -= int(std::lower_bound(missing.begin(), missing.end(), found) - missing.begin());
        library->SetNowPlayingIndex(std::max(found, 0));
        if (chosen == nullptr) {
            playing_ = nullptr;
            emit Changed();
            return;
        }
    }

    playing_ = queue.GetItem(library->NowPlayingIndex);
    duration_ = 0;
    player_.InputOpen(QString::fromStdString(playing_->GetFileName()));
    player_.Play();
    const QString titleLine = TitleLine(*playing_);
    panel_.LabelTitle()->setText(titleLine);
    emit TitleLineChanged(titleLine);
    window_.TrackList().Model().SetPlayingItem(playing_);
    const std::string lyrics = playing_->GetLyrics();
    if (window_.Settings().ReadBool("auto_show_lyric_playing", false) && !lyrics.empty())
        window_.ShowLyrics("lyrics", Text(lyrics));
    emit Changed();
}

void TPlayControl::ImageButton3Click() {
    TTUNECRATE* library = window_.Library();
    if (library == nullptr) return;
    library->SetNowPlayingIndex(library->NowPlayingIndex + 1);
    if (library->NowPlayingIndex >= library->NowPlayingBox.ItemCount()) library->SetNowPlayingIndex(0);
    PlayCurrentItem();
}

void TPlayControl::ImageButton1Click() {
    TTUNECRATE* library = window_.Library();
    if (library == nullptr) return;
    library->SetNowPlayingIndex(library->NowPlayingIndex - 1);
    if (library->NowPlayingIndex < 0) library->SetNowPlayingIndex(library->NowPlayingBox.ItemCount() - 1);
    PlayCurrentItem();
}

void TPlayControl::ImageButtonPlayerClick() {
    if (player_.Opened()) {
        if (panel_.ImageButtonPlayer()->State()) {
            player_.Play();
        } else {
            player_.Pause();
        }
    } else if (window_.Library() != nullptr && window_.Library()->NowPlayingBox.ItemCount() > 0) {
        PlayCurrentItem();
    } else {
        Play1Click();
    }
}

void TPlayControl::Play1Click() {
    TTUNECRATE* library = window_.Library();
    const std::vector<TTrackRow> rows = window_.TrackList().SelectedRows();
    if (library == nullptr || rows.empty()) return;
    TBoxTreeController& tree = window_.BoxTree();
    if (tree.IsUnderNowPlaying(tree.SelectedNode())) {
        // The list is the queue: play the chosen entry where it stands (the
        // last place of an item queued more than once).
        const TBOX& queue = library->NowPlayingBox;
        for (int i = 0; i < queue.ItemCount(); ++i) {
            if (queue.GetItem(i) == rows.front().item) {
                library->SetNowPlayingIndex(i);
                PlayCurrentItem();
            }
        }
        return;
    }
    std::vector<TMObj*> items;
    for (const TTrackRow& row : rows) {
        if (row.box != nullptr) {
            row.box->CollectItems(items);
        } else {
            items.push_back(row.item);
        }
    }
    PlayItems(items);
}

void TPlayControl::Plsy1Click() { PlayBox(TBoxTreeController::BoxOf(window_.BoxTree().SelectedNode())); }

void TPlayControl::PlayMyFavour1Click() {
    if (window_.Library() != nullptr) PlayBox(&window_.Library()->FavouritesBox);
}

void TPlayControl::PlayPlaylist1Click() {
    if (window_.Library() != nullptr) PlayBox(&window_.Library()->PlaylistBox);
}

void TPlayControl::PlayBox(TBOX* box) {
    if (box == nullptr || window_.Library() == nullptr) return;
    // Collected before the queue is emptied: the queue's own box plays anew.
    std::vector<TMObj*> items;
    box->CollectItems(items);
    PlayItems(items);
}

void TPlayControl::PlayItems(const std::vector<TMObj*>& items) {
    ChangeQueue([&](TBOX& queue) {
        queue.ClearItems();
        for (TMObj* item : items) queue.AddItem(item);
    });
    window_.Library()->SetNowPlayingIndex(0);
    PlayCurrentItem();
}

void TPlayControl::ChangeQueue(const std::function<void(TBOX&)>& change) {
    TBoxTreeController& tree = window_.BoxTree();
    // The builder may be listing the queue: it gives way first and lists it anew.
    const bool listed = tree.IsUnderNowPlaying(tree.SelectedNode());
    if (listed) window_.TrackList().StopViewBuild();
    {
        std::unique_lock change_(window_.LibraryLock());
        change(window_.Library()->NowPlayingBox);
    }
    if (listed) window_.TrackList().StartViewBuild();
}

// ---- the player's notices --------------------------------------------------------

void TPlayControl::FPlayerNotifyPlayerState(int state) {
    switch (state) {
    case XA_PLAYER_STATE_STOPPED:
    case XA_PLAYER_STATE_PAUSED:
        panel_.ImageButtonPlayer()->SetState(true);
        for (const char* name : {"Play4", "NPlay"}) {
            window_.Action(name)->setText("播放");
            window_.Action(name)->setIcon(ImageList20(Images::kPlay));
        }
        status_ = state == XA_PLAYER_STATE_PAUSED ? TStatus::Paused : TStatus::Stopped;
        break;
    case XA_PLAYER_STATE_PLAYING:
        failedInARow_ = 0;
        panel_.ImageButtonPlayer()->SetState(false);
        for (const char* name : {"Play4", "NPlay"}) {
            window_.Action(name)->setText("暂停");
            window_.Action(name)->setIcon(ImageList20(Images::kPause));
        }
        status_ = TStatus::Playing;
        break;
    case XA_PLAYER_STATE_EOS:
        ImageButton3Click();
        return;
    default:
        return;
    }
    emit Changed();
}

void TPlayControl::FPlayerNotifyInputPosition(quint32 offset, quint32 range) {
    // A Windows Media file whose length stays unknown did not open.
    if (range == 0 && player_.MediaType() == TXaudioPlayer::mtWMA) {
        SkipUnplayable();
        return;
    }
    panel_.ShowPosition(offset, range);
}

void TPlayControl::FPlayerNotifyError(quint8 source, qint16 code) {
    if (source == XA_SOURCE_INPUT && (code == XA_ERROR_OPEN_FAILED || code == XA_ERROR_NOT_MPEG_AUDIO)) {
        SkipUnplayable();
    } else if (source == XA_SOURCE_OUTPUT && code == XA_ERROR_OUTPUT_OPEN_FAILED) {
        window_.ShowStatusText("没有可用的声音设备");
    }
}

void TPlayControl::SkipUnplayable() {
    TTUNECRATE* library = window_.Library();
    if (library == nullptr || playing_ == nullptr) return;
    window_.ShowStatusText(Text(playing_->GetFileName()) + " 无法播放 !");
    // Every entry failed in a row: nothing would ever play.
    if (++failedInARow_ >= library->NowPlayingBox.ItemCount()) {
        failedInARow_ = 0;
        player_.Stop();
        player_.InputClose();
        return;
    }
    ImageButton3Click();
}

// ---- volume and channels ---------------------------------------------------------

void TPlayControl::Report(TMixerResult result) {
    const char* text = nullptr;
    switch (result) {
    case TMixerResult::LineInfoError: text = "GetLineInfo Error"; break;
    case TMixerResult::ReadError: text = "GetControlDetails Error"; break;
    case TMixerResult::WriteError: text = "SetControlDetails Error"; break;
    default: return;
    }
    if (panel_.ImageButton2()->MouseDowned && std::exchange(mixerFailureShown_, true)) return;
    window_.Dialogs().Error(&window_, text);
}

void TPlayControl::SetMasterVolume(uint16_t volume) {
    Report(mixer_.SetMasterVolume(0, volume));
    emit Changed();
}

void TPlayControl::PlaceVolumeKnob() {
    uint32_t volume = 0;
    Report(mixer_.GetMasterVolume(0, volume));
    panel_.PlaceVolumeKnob(volume);
}

void TPlayControl::Volume1Click() { panel_.Volume1Click(); }

void TPlayControl::Volume2Click() { panel_.Volume2Click(); }

void TPlayControl::StereoClick(QAction* item) {
    item->setChecked(true);
    player_.SetOutputChannels(item->toolTip().toInt());
}

// ---- the desktop's media controls ------------------------------------------------

TMprisTarget::TStatus TPlayControl::Status() const { return player_.Opened() ? status_ : TStatus::Stopped; }

std::optional<TMprisTarget::TTrack> TPlayControl::Track() const {
    if (playing_ == nullptr) return std::nullopt;
    TTrack track;
    track.id = QString("/org/tunecrate/queue/%1").arg(std::max(window_.Library()->NowPlayingIndex, 0));
    track.lengthUs = LengthUs();
    track.title = Text(playing_->GetTitle());
    // The sound menu shows nothing for an entry without a title.
    if (track.title.isEmpty()) track.title = QFileInfo(QFile::decodeName(playing_->GetFileName().c_str())).fileName();
    track.artist = Text(playing_->GetArtist());
    track.album = Text(playing_->GetAlbum());
    const std::string picture = playing_->GetPictureFileName();
    if (!picture.empty() && IsFile(picture)) track.artUrl = QUrl::fromLocalFile(QFile::decodeName(picture.c_str())).toString();
    return track;
}

qint64 TPlayControl::LengthUs() const {
    if (!player_.Opened()) return 0;
    if (player_.MediaType() == TXaudioPlayer::mtWMA) return qint64(player_.Range()) * 1000;
    if (duration_ > 0) return qint64(duration_) * kMicroseconds;
    return playing_ != nullptr ? qint64(playing_->GetDuration()) * kMicroseconds : 0;
}

qint64 TPlayControl::PositionUs() const {
    const quint32 range = player_.Range();
    if (!player_.Opened() || range == 0) return 0;
    return qint64(player_.Position()) * LengthUs() / range;
}

double TPlayControl::Volume() const {
    uint32_t volume = 0;
    return mixer_.GetMasterVolume(0, volume) == TMixerResult::Ok ? (volume & 0xffff) / 65535.0 : 0.0;
}

void TPlayControl::SetVolume(double volume) {
    const auto value = uint16_t(std::lround(std::clamp(volume, 0.0, 1.0) * 65535));
    panel_.MoveVolumeKnobTo(value);
    SetMasterVolume(value);
}

bool TPlayControl::HasQueue() const {
    return window_.Library() != nullptr && window_.Library()->NowPlayingBox.ItemCount() > 0;
}

bool TPlayControl::CanSeek() const { return LengthUs() > 0; }

void TPlayControl::Play() {
    if (Status() != TStatus::Playing) ImageButtonPlayerClick();
}

void TPlayControl::Pause() {
    if (Status() == TStatus::Playing) ImageButtonPlayerClick();
}

void TPlayControl::Stop() { player_.Stop(); }

void TPlayControl::SeekToUs(qint64 positionUs) {
    const qint64 length = LengthUs();
    if (length <= 0) return;
    player_.InputSeek(quint32(std::clamp(positionUs, qint64(0), length) * player_.Range() / length));
    emit Seeked(std::clamp(positionUs, qint64(0), length));
}

void TPlayControl::SeekBy(qint64 offsetUs) {
    const qint64 target = PositionUs() + offsetUs;
    // Past the end is the next entry.
    if (CanSeek() && target >= LengthUs()) {
        ImageButton3Click();
    } else {
        SeekToUs(target);
    }
}

void TPlayControl::SetPositionUs(qint64 positionUs) { SeekToUs(positionUs); }

void TPlayControl::Raise() { window_.Raise(); }

void TPlayControl::Quit() { window_.close(); }
