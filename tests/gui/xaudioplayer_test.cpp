#include "playback/xaudioplayer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include "audiogen.h"
#include "platform/decoder/notice.h"
#include "platform/mediacontrol/mediaplayer.h"
#include "scripteddialogs.h"
#include "tempdir.h"
#include "wavfile.h"

namespace {

// What the fake decoder library was sent, one entry per control message.
struct Sent {
    int code;
    std::vector<int32_t> values;
    std::string text;
    bool operator==(const Sent&) const = default;
};

struct FakeDecoder {
    std::vector<Sent> sent;
    XA_NotifyTarget target{};
    int version = (3 << 16) | (2 << 8);
    bool newFails = false;
};
FakeDecoder* fake = nullptr;

int FakeVersion(int) { return fake->version; }
int FakeNew(XA_Player** player, const XA_NotifyTarget* target) {
    fake->target = *target;
    *player = reinterpret_cast<XA_Player*>(fake);
    return fake->newFails ? XA_FAILURE : XA_SUCCESS;
}
int FakeDelete(XA_Player*) { return XA_SUCCESS; }
int FakeN(XA_Player*, int code) {
    fake->sent.push_back({code, {}, {}});
    return XA_SUCCESS;
}
int FakeI(XA_Player*, int code, int32_t value) {
    fake->sent.push_back({code, {value}, {}});
    return XA_SUCCESS;
}
int FakeII(XA_Player*, int code, int32_t value1, int32_t value2) {
    fake->sent.push_back({code, {value1, value2}, {}});
    return XA_SUCCESS;
}
int FakeS(XA_Player*, int code, const char* text) {
    fake->sent.push_back({code, {}, text});
    return XA_SUCCESS;
}

XA_Library FakeLibrary() {
    XA_Library library = xaudio_library();
    library.get_api_version = FakeVersion;
    library.player_new = FakeNew;
    library.player_delete = FakeDelete;
    library.send_N = FakeN;
    library.send_I = FakeI;
    library.send_II = FakeII;
    library.send_S = FakeS;
    return library;
}

// A media control service that plays nothing and says what it was asked.
class FakeMediaControl : public TMediaControl {
public:
    explicit FakeMediaControl(std::vector<std::string>& calls) : calls_(calls) {}
    void SetFileName(const std::string& name) override { calls_.push_back("name " + name); }
    void Open() override { calls_.push_back("open"); }
    void Close() override { calls_.push_back("close"); }
    void Play() override { calls_.push_back("play"); }
    bool Pause() override {
        calls_.push_back("pause");
        return playing;
    }
    void Stop() override { calls_.push_back("stop"); }
    void Seek(uint32_t position) override { calls_.push_back("seek " + std::to_string(position)); }
    void Rewind() override { calls_.push_back("rewind"); }
    uint32_t Length() override { return length; }
    uint32_t Position() override { return position; }
    int Mode() override { return Playing; }

    bool playing = true;  // what Pause finds
    uint32_t length = 0;
    uint32_t position = 0;

private:
    std::vector<std::string>& calls_;
};

class PlayerComponent : public ::testing::Test {
protected:
    PlayerComponent() { fake = &decoder_; }
    ~PlayerComponent() override { fake = nullptr; }

    TXaudioPlayer& Make() {
        auto media = std::make_unique<FakeMediaControl>(mediaCalls_);
        media_ = media.get();
        player_ = std::make_unique<TXaudioPlayer>(dialogs_, nullptr, std::move(media), library_);
        QObject::connect(player_.get(), &TXaudioPlayer::OnNotifyPlayerState, [this](qint32 state) {
            states_.push_back(state);
        });
        return *player_;
    }
    // Delivers a notice as the decoder's thread would and lets it through.
    void Deliver(const XA_Message& message) {
        auto* notice = new XA_Notice;
        notice->message = message;
        decoder_.target.callback(decoder_.target.context, notice);
        QCoreApplication::processEvents();
    }
    void Tick() {
        QTimer* timer = player_->findChild<QTimer*>();
        ASSERT_NE(timer, nullptr);
        QMetaObject::invokeMethod(timer, "timeout");
    }

    FakeDecoder decoder_;
    XA_Library library_ = FakeLibrary();
    TScriptedDialogs dialogs_;
    std::vector<std::string> mediaCalls_;
    FakeMediaControl* media_ = nullptr;
    std::vector<qint32> states_;
    std::unique_ptr<TXaudioPlayer> player_;
};

TEST_F(PlayerComponent, RoutesByTheExtensionInLowerCase) {
    TXaudioPlayer& player = Make();
    player.InputOpen("/music/Song.MP3");
    EXPECT_EQ(decoder_.sent, (std::vector<Sent>{{XA_MSG_COMMAND_INPUT_OPEN, {}, "/music/Song.MP3"}}));
    EXPECT_TRUE(player.Opened());
    EXPECT_EQ(player.MediaType(), TXaudioPlayer::mtMP3);

    decoder_.sent.clear();
    player.InputOpen("/music/a.b/Clip.wma");
    // The open MPEG input is stopped and closed first; the ping marks the end
    // of what the decoder says about it.
    EXPECT_EQ(decoder_.sent, (std::vector<Sent>{{XA_MSG_COMMAND_STOP, {}, {}},
                                                {XA_MSG_COMMAND_INPUT_CLOSE, {}, {}},
                                                {XA_MSG_COMMAND_PING, {1}, {}}}));
    EXPECT_EQ(mediaCalls_, (std::vector<std::string>{"name /music/a.b/Clip.wma", "open"}));
    EXPECT_EQ(player.MediaType(), TXaudioPlayer::mtWMA);
    EXPECT_TRUE(player.Opened());
}

TEST_F(PlayerComponent, OtherExtensionsOpenNothingAndStopWindowsMedia) {
    TXaudioPlayer& player = Make();
    player.InputOpen("/music/Clip.wma");
    player.Play();
    decoder_.sent.clear();
    mediaCalls_.clear();
    states_.clear();

    player.InputOpen("/music/song.ogg");
    EXPECT_FALSE(player.Opened());
    EXPECT_EQ(player.MediaType(), TXaudioPlayer::mtWMA);
    EXPECT_EQ(mediaCalls_, (std::vector<std::string>{"stop"}));
    EXPECT_EQ(states_, (std::vector<qint32>{XA_PLAYER_STATE_STOPPED}));
    EXPECT_TRUE(decoder_.sent.empty());
    player.InputOpen("/music/dotless.");
    player.InputOpen("/music.d/noextension");
    EXPECT_FALSE(player.Opened());
}

TEST_F(PlayerComponent, OpeningMpegWhileWindowsMediaPlays) {
    TXaudioPlayer& player = Make();
    player.InputOpen("/music/Clip.wma");
    player.Play();
    states_.clear();
    player.InputOpen("/music/song.mp3");
    EXPECT_EQ(states_, (std::vector<qint32>{XA_PLAYER_STATE_STOPPED}));
    // Nothing for the close: the Windows Media device stays open.
    EXPECT_EQ(decoder_.sent, (std::vector<Sent>{{XA_MSG_COMMAND_INPUT_OPEN, {}, "/music/song.mp3"}}));
}

TEST_F(PlayerComponent, WindowsMediaStatesAreRaisedBeforeTheCallReturns) {
    TXaudioPlayer& player = Make();
    QTimer* poll = player.findChild<QTimer*>();
    player.InputOpen("/music/Clip.wma");
    player.Play();
    EXPECT_EQ(states_, (std::vector<qint32>{XA_PLAYER_STATE_PLAYING}));
    EXPECT_TRUE(poll->isActive());
    player.Pause();
    EXPECT_FALSE(poll->isActive());
    player.Stop();
    EXPECT_EQ(states_, (std::vector<qint32>{XA_PLAYER_STATE_PLAYING, XA_PLAYER_STATE_PAUSED, XA_PLAYER_STATE_STOPPED}));
    EXPECT_EQ(mediaCalls_, (std::vector<std::string>{"name /music/Clip.wma", "open", "play", "pause", "stop"}));

    mediaCalls_.clear();
    player.InputSeek(500);
    EXPECT_EQ(mediaCalls_, (std::vector<std::string>{"stop", "seek 500"}));
    EXPECT_EQ(states_.size(), 3u);
    player.InputClose();
    player.Exit();
    EXPECT_FALSE(player.Opened());
    EXPECT_TRUE(decoder_.sent.empty());
}

// A seek moves the place and keeps playing, paused or stopped, as the
// decoder does; the poll runs exactly while the file plays.
TEST_F(PlayerComponent, AWindowsMediaSeekKeepsPlayingOrPaused) {
    TXaudioPlayer& player = Make();
    QTimer* poll = player.findChild<QTimer*>();
    player.InputOpen("/music/Clip.wma");
    player.Play();
    mediaCalls_.clear();
    player.InputSeek(100);
    EXPECT_EQ(mediaCalls_, (std::vector<std::string>{"stop", "seek 100", "play"}));
    EXPECT_TRUE(poll->isActive());

    player.Pause();
    mediaCalls_.clear();
    player.InputSeek(200);
    EXPECT_EQ(mediaCalls_, (std::vector<std::string>{"stop", "seek 200"}));
    EXPECT_FALSE(poll->isActive());
    EXPECT_EQ(states_, (std::vector<qint32>{XA_PLAYER_STATE_PLAYING, XA_PLAYER_STATE_PAUSED}));

    // Ended, it waits at the new place.
    player.Play();
    media_->length = 1000;
    media_->position = 1000;
    Tick();
    Tick();
    player.InputSeek(300);
    EXPECT_FALSE(poll->isActive());
    EXPECT_EQ(states_, (std::vector<qint32>{XA_PLAYER_STATE_PLAYING, XA_PLAYER_STATE_PAUSED, XA_PLAYER_STATE_PLAYING,
                                            XA_PLAYER_STATE_EOS, XA_PLAYER_STATE_STOPPED}));
}

TEST_F(PlayerComponent, WindowsMediaStatesAreToldOnlyWhenTheyChange) {
    TXaudioPlayer& player = Make();
    player.InputOpen("/music/Clip.wma");
    media_->playing = false;
    player.Pause();  // stopped: the service does not pause
    player.Stop();
    player.Play();
    player.Play();
    media_->playing = true;
    player.Pause();
    player.Pause();
    EXPECT_EQ(states_, (std::vector<qint32>{XA_PLAYER_STATE_PLAYING, XA_PLAYER_STATE_PAUSED}));
}

// Switching from MPEG to Windows Media: what the decoder still says of the
// MPEG input comes after the new input's own states, and is dropped.
TEST_F(PlayerComponent, OnlyTheCurrentInputsStatesAreTold) {
    TXaudioPlayer& player = Make();
    std::vector<std::pair<quint32, quint32>> positions;
    QObject::connect(&player, &TXaudioPlayer::OnNotifyInputPosition,
                     [&](quint32 offset, quint32 range) { positions.emplace_back(offset, range); });
    XA_Message state{};
    state.code = XA_MSG_NOTIFY_PLAYER_STATE;
    XA_Message position{};
    position.code = XA_MSG_NOTIFY_INPUT_POSITION;
    position.data.position = {10, 100};
    XA_Message pong{};
    pong.code = XA_MSG_NOTIFY_PONG;
    std::vector<quint8> errors;
    QObject::connect(&player, &TXaudioPlayer::OnNotifyError,
                     [&](quint8 source, qint16, const QString&) { errors.push_back(source); });
    XA_Message error{};
    error.code = XA_MSG_NOTIFY_ERROR;
    error.data.error.code = XA_ERROR_OPEN_FAILED;

    player.InputOpen("/music/song.mp3");
    player.Play();
    state.data.state = XA_PLAYER_STATE_PLAYING;
    Deliver(state);
    player.InputOpen("/music/Clip.wma");
    player.Play();
    // The stop and the close, queued in the decoder before its answer.
    state.data.state = XA_PLAYER_STATE_STOPPED;
    Deliver(state);
    Deliver(position);
    error.data.error.source = XA_SOURCE_INPUT;
    Deliver(error);
    error.data.error.source = XA_SOURCE_OUTPUT;
    Deliver(error);
    Deliver(state);
    ASSERT_EQ(decoder_.sent.back().code, XA_MSG_COMMAND_PING);
    pong.data.tag = quint32(decoder_.sent.back().values[0]);
    Deliver(pong);
    EXPECT_EQ(states_, (std::vector<qint32>{XA_PLAYER_STATE_PLAYING, XA_PLAYER_STATE_STOPPED,
                                            XA_PLAYER_STATE_PLAYING}));
    EXPECT_TRUE(positions.empty());
    // The device's troubles are told whatever the input.
    EXPECT_EQ(errors, (std::vector<quint8>{XA_SOURCE_OUTPUT}));

    // After the answer, the decoder speaks of its next input again.
    player.InputOpen("/music/other.mp3");
    Deliver(position);
    EXPECT_EQ(positions.size(), 1u);
    EXPECT_EQ(states_.back(), XA_PLAYER_STATE_STOPPED);
}

TEST_F(PlayerComponent, MpegOperationsSendTheirCodes) {
    TXaudioPlayer& player = Make();
    player.InputOpen("/music/song.mp2");
    player.SetRange(1000);
    decoder_.sent.clear();
    player.InputSeek(500);
    player.Play();
    player.Pause();
    player.Stop();
    player.InputClose();
    player.Exit();
    EXPECT_EQ(decoder_.sent, (std::vector<Sent>{{XA_MSG_COMMAND_SEEK, {500, 1000}, {}},
                                                {XA_MSG_COMMAND_PLAY, {}, {}},
                                                {XA_MSG_COMMAND_PAUSE, {}, {}},
                                                {XA_MSG_COMMAND_STOP, {}, {}},
                                                {XA_MSG_COMMAND_INPUT_CLOSE, {}, {}},
                                                {XA_MSG_COMMAND_PING, {1}, {}},
                                                {XA_MSG_COMMAND_EXIT, {}, {}}}));
    EXPECT_FALSE(player.Opened());
    EXPECT_TRUE(states_.empty());
}

TEST_F(PlayerComponent, PollRaisesTheEndWhenLessThanTwoRemain) {
    TXaudioPlayer& player = Make();
    std::vector<std::pair<quint32, quint32>> positions;
    QObject::connect(&player, &TXaudioPlayer::OnNotifyInputPosition,
                     [&](quint32 offset, quint32 range) { positions.emplace_back(offset, range); });
    player.InputOpen("/music/Clip.wma");
    player.Play();
    states_.clear();
    media_->length = 10000;
    media_->position = 9997;
    Tick();
    EXPECT_TRUE(states_.empty());
    media_->position = 9998;
    Tick();
    EXPECT_EQ(states_, (std::vector<qint32>{XA_PLAYER_STATE_EOS}));
    EXPECT_EQ(positions, (std::vector<std::pair<quint32, quint32>>{{9997, 10000}, {9998, 10000}}));
    EXPECT_EQ(player.Position(), 9998u);
    EXPECT_EQ(player.Range(), 10000u);

    // A length of 0 or 1 never ends: less 2 wraps round to a huge number.
    states_.clear();
    for (uint32_t length : {0u, 1u}) {
        media_->length = length;
        media_->position = length;
        Tick();
    }
    EXPECT_TRUE(states_.empty());

    // Once the input is no longer Windows Media, the tick stops the timer.
    player.InputOpen("/music/song.mp3");
    player.findChild<QTimer*>()->start();
    Tick();
    EXPECT_FALSE(player.findChild<QTimer*>()->isActive());
}

TEST_F(PlayerComponent, NoticesReachTheirEventsAfterTheMessageHandler) {
    TXaudioPlayer& player = Make();
    std::vector<int> messages;
    QObject::connect(&player, &TXaudioPlayer::OnNotifyMessage, [&](XA_Message& message) {
        messages.push_back(message.code);
        // A handler may change what the events see.
        if (message.code == XA_MSG_NOTIFY_PLAYER_STATE) message.data.state = XA_PLAYER_STATE_PAUSED;
    });
    XA_Message message{};
    message.code = 95;
    Deliver(message);
    message.code = XA_MSG_NOTIFY_INPUT_POSITION;
    message.data.position = {250, 400};
    Deliver(message);
    EXPECT_EQ(player.Position(), 250u);
    EXPECT_EQ(player.Range(), 400u);
    message = {};
    message.code = XA_MSG_NOTIFY_PLAYER_STATE;
    message.data.state = XA_PLAYER_STATE_PLAYING;
    Deliver(message);
    EXPECT_EQ(messages, (std::vector<int>{95, XA_MSG_NOTIFY_INPUT_POSITION, XA_MSG_NOTIFY_PLAYER_STATE}));
    EXPECT_EQ(states_, (std::vector<qint32>{XA_PLAYER_STATE_PAUSED}));

    QString errorText;
    QObject::connect(&player, &TXaudioPlayer::OnNotifyError,
                     [&](quint8, qint16, const QString& text) { errorText = text; });
    auto* notice = new XA_Notice;
    notice->texts[0] = "歌.mp3: no frame";
    notice->message.code = XA_MSG_NOTIFY_ERROR;
    notice->message.data.error = {XA_SOURCE_INPUT, XA_ERROR_NOT_MPEG_AUDIO, notice->texts[0].c_str()};
    decoder_.target.callback(decoder_.target.context, notice);
    QCoreApplication::processEvents();
    EXPECT_EQ(errorText, QStringLiteral("歌.mp3: no frame"));
}

TEST_F(PlayerComponent, ConstructionReportsAVersionMismatchAndAFailedStart) {
    decoder_.version = (4 << 16) | (10 << 8) | 7;
    decoder_.newFails = true;
    Make();
    EXPECT_EQ(dialogs_.Texts(TScriptedDialogs::Kind::Error),
              (QStringList{"Xaudio DLL API Mismatch\rExpected 3,2\rGot 4,10", "Cannot Start Xaudio Player"}));
}

// The real decoder library behind the component: notices arrive on the
// user-interface thread, and the file plays to its end.
TEST(PlayerComponentWithDecoder, PlaysAnMpegFileToItsEnd) {
    TempDir dir;
    std::string error;
    const auto tone = audiogen::Tone(44100, 1.0, 440, 0);
    ASSERT_TRUE(audiogen::Encode(dir / "tone.mp3", "mp3", tone, 44100, 128000, error)) << error;
    TScriptedDialogs dialogs;
    auto player = std::make_unique<TXaudioPlayer>(dialogs);
    std::vector<qint32> states;
    bool uiThread = true;
    QObject::connect(player.get(), &TXaudioPlayer::OnNotifyPlayerState, [&](qint32 state) {
        states.push_back(state);
        uiThread = uiThread && QThread::currentThread() == qApp->thread();
    });
    player->OutputOpen(QString::fromStdString("wav:" + dir / "out.wav"));
    player->InputOpen(QString::fromStdString(dir / "tone.mp3"));
    player->Play();
    const QDeadlineTimer deadline(20000);
    while ((states.empty() || states.back() != XA_PLAYER_STATE_EOS) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(states, (std::vector<qint32>{XA_PLAYER_STATE_PLAYING, XA_PLAYER_STATE_EOS}));
    EXPECT_TRUE(uiThread);
    EXPECT_EQ(player->Position(), player->Range());
    player->OutputReset();
    player->Exit();
    player.reset();  // the output's file is complete once the player is gone
    TWavData wav;
    ASSERT_TRUE(ReadWavFile(dir / "out.wav", wav));
    EXPECT_EQ(wav.Frames(), long(tone.size() / 2));
    EXPECT_TRUE(dialogs.requests.isEmpty());
}

// From an MPEG file that plays to a Windows Media file (through the media
// player module, loaded at its first file): the last state told
// is always the truth, whatever the decoder still had queued.
TEST(PlayerComponentWithDecoder, FromMpegToWindowsMediaTheStatesAgree) {
    TempDir dir;
    std::string error;
    const auto tone = audiogen::Tone(44100, 3.0, 440, 0);
    ASSERT_TRUE(audiogen::Encode(dir / "tone.mp3", "mp3", tone, 44100, 128000, error)) << error;
    ASSERT_TRUE(audiogen::Encode(dir / "tone.wma", "wma", audiogen::Tone(44100, 0.5, 440, 0), 44100, 128000, error))
        << error;
    TScriptedDialogs dialogs;
    TXaudioPlayer player(dialogs, nullptr, MakeMediaPlayer("null?speed=4"));
    std::vector<qint32> states;
    QObject::connect(&player, &TXaudioPlayer::OnNotifyPlayerState, [&](qint32 state) { states.push_back(state); });
    bool moved = false;
    QObject::connect(&player, &TXaudioPlayer::OnNotifyInputPosition, [&](quint32 offset, quint32) {
        moved = moved || offset > 1000;
    });
    const auto processUntil = [](const std::function<bool()>& done) {
        const QDeadlineTimer deadline(20000);
        while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    };
    player.OutputOpen("null?speed=4");
    player.InputOpen(QString::fromStdString(dir / "tone.mp3"));
    player.Play();
    processUntil([&] { return moved; });
    player.InputOpen(QString::fromStdString(dir / "tone.wma"));
    player.Play();
    processUntil([&] { return states.back() == XA_PLAYER_STATE_EOS; });
    // Whatever was still on its way has arrived by now.
    const QDeadlineTimer settle(300);
    while (!settle.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(states, (std::vector<qint32>{XA_PLAYER_STATE_PLAYING, XA_PLAYER_STATE_STOPPED, XA_PLAYER_STATE_PLAYING,
                                           XA_PLAYER_STATE_EOS}));
    player.Exit();
}

} // namespace
