#include "platform/mediacontrol/mplayer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "audiogen.h"
#include "core/fileio.h"
#include "decoderfixture.h"
#include "fadecheck.h"
#include "mp3builder.h"
#include "tempdir.h"
#include "wavfile.h"

namespace {

using namespace std::chrono_literals;

// Streams as people have them, through the media service: joined from two
// encodings, mono, paused and stopped half way.
class MediaStreams : public ::testing::Test {
protected:
    std::string Encoded(const std::string& name, const std::string& format, const std::vector<int16_t>& samples,
                        int rate, int bitrate, int channels) {
        std::string error;
        EXPECT_TRUE(audiogen::Encode(dir / name, format, samples, rate, bitrate, error, channels)) << error;
        return dir / name;
    }
    std::string Joined(const std::string& name, const std::string& first, const std::string& second) {
        std::string a, b;
        EXPECT_TRUE(ReadWholeFile(first, a));
        EXPECT_TRUE(ReadWholeFile(second, b));
        EXPECT_TRUE(mp3::WriteFile(dir / name, a + b));
        return dir / name;
    }
    // Plays `file` from `fromMs` on into a WAV file; `during` acts on the
    // player while it plays.
    TWavData Play(const std::string& file, const std::string& options = "",
                  const std::function<void(TMPlayer&)>& during = {}, uint32_t fromMs = 0) {
        {
            TMPlayer player("wav:" + dir / "out.wav" + options);
            player.SetFileName(file);
            player.Open();
            EXPECT_TRUE(player.Opened());
            if (fromMs > 0) player.Seek(fromMs);
            player.Play();
            if (during) during(player);
            while (player.Mode() == TMediaControl::Playing) std::this_thread::sleep_for(2ms);
        }
        TWavData wav;
        EXPECT_TRUE(ReadWavFile(dir / "out.wav", wav));
        return wav;
    }
    static double Seconds(const TWavData& wav) { return double(wav.Frames()) / wav.rate; }
    // Root mean square of one channel over frames [from, to).
    static double Level(const TWavData& wav, int channel, long from, long to) {
        double sum = 0;
        for (long i = from; i < to; ++i) sum += double(wav.samples[2 * i + channel]) * wav.samples[2 * i + channel];
        return std::sqrt(sum / double(to - from));
    }
    // How often a channel crosses zero, per second, over frames [from, to).
    static double Crossings(const TWavData& wav, int channel, long from, long to) {
        int crossings = 0;
        for (long i = from + 1; i < to; ++i)
            crossings += (wav.samples[2 * (i - 1) + channel] < 0) != (wav.samples[2 * i + channel] < 0);
        return crossings * double(wav.rate) / double(to - from);
    }

    TempDir dir;
};

TEST_F(MediaStreams, AStreamThatTurnsMonoHalfWayPlaysOnBothSides) {
    const std::string stereo = Encoded("stereo.mp2", "mp2", audiogen::Tone(44100, 1.0, 440, 660), 44100, 192000, 2);
    const std::string mono = Encoded("mono.mp2", "mp2", audiogen::MonoTone(44100, 1.0, 550), 44100, 96000, 1);
    const std::string joined = Joined("joined.mp2", stereo, mono);
    const TWavData wav = Play(joined);
    EXPECT_EQ(wav.rate, 44100);
    EXPECT_NEAR(Seconds(wav), audiogen::DecodedSeconds(joined), 0.35);
    const long end = wav.Frames();
    EXPECT_NEAR(Crossings(wav, 0, 0, end / 3), 880, 40);
    EXPECT_NEAR(Crossings(wav, 1, 0, end / 3), 1320, 40);
    for (int channel : {0, 1}) {
        EXPECT_NEAR(Crossings(wav, channel, end * 2 / 3, end), 1100, 40);
        EXPECT_NEAR(Level(wav, channel, end * 2 / 3, end), 16384 / std::sqrt(2.0), 600);
    }
}

TEST_F(MediaStreams, AStreamThatHalvesItsRateHalfWayKeepsItsPitch) {
    const std::string full = Encoded("full.mp2", "mp2", audiogen::Tone(44100, 1.0, 440, 440), 44100, 192000, 2);
    const std::string half = Encoded("half.mp2", "mp2", audiogen::Tone(22050, 1.0, 440, 440), 22050, 64000, 2);
    const std::string joined = Joined("joined.mp2", full, half);
    const TWavData wav = Play(joined);
    EXPECT_EQ(wav.rate, 44100);
    EXPECT_NEAR(Seconds(wav), audiogen::DecodedSeconds(joined), 0.35);
    EXPECT_NEAR(Seconds(wav), 2.0, 0.35);
    const long end = wav.Frames();
    EXPECT_NEAR(Crossings(wav, 0, 0, end / 3), 880, 40);
    EXPECT_NEAR(Crossings(wav, 0, end * 2 / 3, end), 880, 40);
}

// The same song must not change its loudness with its format.
TEST_F(MediaStreams, MonoPlaysAtTheLevelTheMpegDecoderGivesIt) {
    const std::vector<int16_t> tone = audiogen::MonoTone(44100, 2.0, 500);
    const TWavData wma = Play(Encoded("mono.wma", "wma", tone, 44100, 128000, 1));
    const std::string mp2 = Encoded("mono.mp2", "mp2", tone, 44100, 96000, 1);
    decodertest::Player player;
    control_message_send_S(*player, XA_MSG_COMMAND_OUTPUT_OPEN, ("wav:" + dir / "mp2.wav").c_str());
    control_message_send_S(*player, XA_MSG_COMMAND_INPUT_OPEN, mp2.c_str());
    control_message_send_N(*player, XA_MSG_COMMAND_PLAY);
    player.WaitForState(XA_PLAYER_STATE_EOS);
    player.Delete();
    TWavData mpeg;
    ASSERT_TRUE(ReadWavFile(dir / "mp2.wav", mpeg));
    for (int channel : {0, 1}) {
        const double mpegLevel = Level(mpeg, channel, 22050, 66150), wmaLevel = Level(wma, channel, 22050, 66150);
        EXPECT_NEAR(20 * std::log10(wmaLevel / mpegLevel), 0, 0.1) << "channel " << channel;
    }
}

TEST_F(MediaStreams, PauseAndStopFade) {
    const std::string file = Encoded("tone.wma", "wma", audiogen::Tone(44100, 2.0, 440, 550), 44100, 128000, 2);
    const TWavData whole = Play(file);
    const auto pauseOnce = [](TMPlayer& player) {
        while (player.Position() < 500) std::this_thread::sleep_for(1ms);
        ASSERT_TRUE(player.Pause());
        std::this_thread::sleep_for(30ms);
        player.Play();
    };
    const TWavData paused = Play(file, "?speed=10", pauseOnce);
    fadecheck::ExpectFadesOnly(paused.samples, whole.samples, 1);

    const TWavData stopped = Play(file, "?speed=10", [](TMPlayer& player) {
        while (player.Position() < 500) std::this_thread::sleep_for(1ms);
        player.Stop();
        // The device plays out what it holds (a tenth of a second at ten times real time), ending in the fade.
        std::this_thread::sleep_for(100ms);
    });
    ASSERT_LT(stopped.samples.size(), whole.samples.size());
    fadecheck::ExpectFadedEnd(stopped.samples);
}

// A packet holds several frames, the later ones without a timestamp of their
// own: a seek into them must still drop what lies before the target.
TEST_F(MediaStreams, SeeksLandWhereAskedToTheMillisecond) {
    const std::string file = Encoded("tone.wma", "wma", audiogen::Tone(44100, 2.0, 440, 550), 44100, 128000, 2);
    const long whole = Play(file).Frames();
    for (uint32_t ms : {60u, 120u, 170u, 250u, 1000u}) {
        SCOPED_TRACE(ms);
        const TWavData wav = Play(file, "", {}, ms);
        EXPECT_NEAR(wav.Frames(), whole - long(ms) * 441 / 10, 44);
    }
}

TEST_F(MediaStreams, APlayAfterTheDeviceFailedOpensItAgain) {
    const std::string file = Encoded("tone.wma", "wma", audiogen::Tone(44100, 2.0, 440, 550), 44100, 128000, 2);
    TMPlayer player("null?speed=20&end=300");
    player.SetFileName(file);
    player.Open();
    player.Play();
    while (player.Mode() == TMediaControl::Playing) std::this_thread::sleep_for(2ms);
    EXPECT_NE(player.LastError(), 0u);
    const uint32_t failedAt = player.Position();
    EXPECT_LT(failedAt, 600u);
    player.Play();
    while (player.Mode() == TMediaControl::Playing) std::this_thread::sleep_for(2ms);
    EXPECT_GT(player.Position(), failedAt + 200);
}

} // namespace
