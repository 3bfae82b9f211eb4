#include "platform/mediacontrol/mplayer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "audiogen.h"
#include "tempdir.h"
#include "wavfile.h"

namespace {

constexpr int kRate = 44100;
// The WMA encoder works in blocks of 2048 frames: the file decodes to whole
// blocks, and what comes back may be off by up to a block.
constexpr long kBlock = 2048;

class MPlayerTest : public ::testing::Test {
protected:
    // A WMA file of `seconds` of 440 Hz on the left, then as long of 660 Hz
    // on the right when `rightHalf`.
    std::string MakeWma(const std::string& name, double seconds, bool rightHalf = false) {
        std::vector<int16_t> samples = audiogen::Tone(kRate, seconds, 440, 0);
        if (rightHalf) {
            const std::vector<int16_t> right = audiogen::Tone(kRate, seconds, 0, 660);
            samples.insert(samples.end(), right.begin(), right.end());
        }
        const std::string path = dir / name;
        std::string error;
        EXPECT_TRUE(audiogen::Encode(path, "wma", samples, kRate, 128000, error)) << error;
        return path;
    }

    std::string Recording() const { return "wav:" + dir / "out.wav"; }

    TWavData Recorded() const {
        TWavData wav;
        EXPECT_TRUE(ReadWavFile(dir / "out.wav", wav));
        return wav;
    }

    // The frames of `file` played through from the start.
    long Whole(const std::string& file) {
        {
            TMPlayer player(Recording());
            player.SetFileName(file);
            player.Open();
            PlayToTheEnd(player);
        }
        return Recorded().Frames();
    }

    static void PlayToTheEnd(TMPlayer& player) {
        player.Play();
        while (player.Mode() == TMediaControl::Playing) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }

    // Mean loudness of one channel over frames [from, to).
    static double Loudness(const TWavData& wav, int channel, long from, long to) {
        double sum = 0;
        for (long i = from; i < to; ++i) sum += std::abs(wav.samples[i * 2 + channel]);
        return to > from ? sum / double(to - from) : 0;
    }

    TempDir dir;
};

TEST_F(MPlayerTest, PlaysAWmaFileToItsEnd) {
    const std::string file = MakeWma("tone.wma", 1.0);
    {
        TMPlayer player(Recording());
        EXPECT_EQ(player.Mode(), TMediaControl::NotReady);
        player.SetFileName(file);
        player.Open();
        ASSERT_TRUE(player.Opened());
        EXPECT_EQ(player.LastError(), 0u);
        EXPECT_EQ(player.Mode(), TMediaControl::Stopped);
        EXPECT_EQ(player.Position(), 0u);
        EXPECT_NEAR(player.Length(), 1000, 100);

        PlayToTheEnd(player);
        EXPECT_EQ(player.Mode(), TMediaControl::Stopped);
        EXPECT_EQ(player.Position(), player.Length());
        EXPECT_EQ(player.LastError(), 0u);
    }
    const TWavData wav = Recorded();
    EXPECT_EQ(wav.rate, kRate);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_NEAR(wav.Frames(), kRate, kBlock);
    EXPECT_GT(Loudness(wav, 0, 0, kRate / 2), 5000);
    EXPECT_LT(Loudness(wav, 1, 0, wav.Frames()), 100);
}

// Paced, the recording holds only what was heard: a gap or a repeat where
// playing was paused or stopped would show in its length.

TEST_F(MPlayerTest, PausesOnlyWhilePlaying) {
    const std::string file = MakeWma("tone.wma", 2.0);
    const long whole = Whole(file);
    {
        TMPlayer player(Recording() + "?speed=20");
        EXPECT_FALSE(player.Pause());
        player.SetFileName(file);
        player.Open();
        EXPECT_FALSE(player.Pause());

        player.Play();
        EXPECT_EQ(player.Mode(), TMediaControl::Playing);
        ASSERT_TRUE(player.Pause());
        EXPECT_EQ(player.Mode(), TMediaControl::Paused);
        const uint32_t pausedAt = player.Position();
        EXPECT_FALSE(player.Pause());
        EXPECT_EQ(player.Mode(), TMediaControl::Paused);
        EXPECT_EQ(player.Position(), pausedAt);

        PlayToTheEnd(player);
        EXPECT_EQ(player.Position(), player.Length());
        EXPECT_FALSE(player.Pause());
    }
    EXPECT_EQ(Recorded().Frames(), whole);
}

TEST_F(MPlayerTest, StopKeepsThePositionHeardAndPlayGoesOnFromThere) {
    const std::string file = MakeWma("tone.wma", 2.0);
    const long whole = Whole(file);
    {
        TMPlayer player(Recording() + "?speed=20");
        player.SetFileName(file);
        player.Open();
        player.Play();
        while (player.Position() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        player.Stop();
        EXPECT_EQ(player.Mode(), TMediaControl::Stopped);
        const uint32_t stoppedAt = player.Position();
        EXPECT_GT(stoppedAt, 0u);
        EXPECT_LT(stoppedAt, player.Length());
        player.Stop();
        EXPECT_EQ(player.Position(), stoppedAt);

        PlayToTheEnd(player);
        EXPECT_EQ(player.Position(), player.Length());
    }
    // Going on from the stop is exact to the file's timestamps (milliseconds).
    EXPECT_NEAR(Recorded().Frames(), whole, 100);
}

TEST_F(MPlayerTest, PlayAfterTheEndStartsAgain) {
    const std::string file = MakeWma("tone.wma", 1.0);
    const auto record = [&](int plays) {
        TMPlayer player(Recording());
        player.SetFileName(file);
        player.Open();
        for (int i = 0; i < plays; ++i) PlayToTheEnd(player);
        EXPECT_EQ(player.Position(), player.Length());
        player.Close();
        return Recorded().Frames();
    };
    const long once = record(1);
    EXPECT_EQ(record(2), 2 * once);
}

TEST_F(MPlayerTest, SeeksStopping) {
    const std::string file = MakeWma("halves.wma", 1.0, true);
    {
        TMPlayer player(Recording());
        player.SetFileName(file);
        player.Open();
        player.Seek(player.Length() + 500);
        EXPECT_EQ(player.Mode(), TMediaControl::Stopped);
        EXPECT_EQ(player.Position(), player.Length());
        // Playing from the very end rewinds first.
        PlayToTheEnd(player);
    }
    TWavData wav = Recorded();
    EXPECT_NEAR(wav.Frames(), 2 * kRate, kBlock);
    EXPECT_GT(Loudness(wav, 0, 0, kRate / 2), 5000);

    {
        TMPlayer player(Recording());
        player.SetFileName(file);
        player.Open();
        player.Seek(1000);
        EXPECT_EQ(player.Mode(), TMediaControl::Stopped);
        EXPECT_EQ(player.Position(), 1000u);
        PlayToTheEnd(player);
        EXPECT_EQ(player.Position(), player.Length());
    }
    wav = Recorded();
    EXPECT_NEAR(wav.Frames(), kRate, 2 * kBlock);
    EXPECT_LT(Loudness(wav, 0, kBlock, wav.Frames()), 100);
    EXPECT_GT(Loudness(wav, 1, 0, kRate / 2), 5000);

    TMPlayer player(Recording());
    player.SetFileName(file);
    player.Open();
    player.Seek(600);
    player.Rewind();
    EXPECT_EQ(player.Position(), 0u);
}

TEST_F(MPlayerTest, AFileThatIsNotSoundLeavesNothingOpen) {
    const std::string text = dir / "notes.wma";
    std::ofstream(text) << "These are notes, not sound.\n";

    TMPlayer player("null?speed=20");
    player.SetFileName(text);
    player.Open();
    EXPECT_FALSE(player.Opened());
    EXPECT_NE(player.LastError(), 0u);
    player.Play();
    player.Stop();
    player.Seek(100);
    player.Rewind();
    EXPECT_FALSE(player.Pause());
    EXPECT_EQ(player.Mode(), TMediaControl::NotReady);
    EXPECT_EQ(player.Length(), 0u);
    EXPECT_EQ(player.Position(), 0u);

    player.SetFileName(dir / "missing.wma");
    player.Open();
    EXPECT_FALSE(player.Opened());
    EXPECT_NE(player.LastError(), 0u);

    player.SetFileName(MakeWma("tone.wma", 0.5));
    player.Open();
    EXPECT_TRUE(player.Opened());
    EXPECT_EQ(player.LastError(), 0u);
}

TEST_F(MPlayerTest, OpeningAnotherFileStopsTheFirst) {
    const std::string longer = MakeWma("long.wma", 2.0);
    const std::string shorter = MakeWma("short.wma", 0.5);
    TMPlayer player("null?speed=20");
    player.SetFileName(longer);
    player.Open();
    const uint32_t longLength = player.Length();
    player.Play();

    player.SetFileName(shorter);
    player.Open();
    ASSERT_TRUE(player.Opened());
    EXPECT_EQ(player.Mode(), TMediaControl::Stopped);
    EXPECT_EQ(player.Position(), 0u);
    EXPECT_LT(player.Length(), longLength);
    PlayToTheEnd(player);
    EXPECT_EQ(player.Position(), player.Length());

    player.Play();
    player.Close();
    EXPECT_FALSE(player.Opened());
    EXPECT_EQ(player.Mode(), TMediaControl::NotReady);
    EXPECT_EQ(player.Position(), 0u);
    // Left playing, for the destructor to stop.
    player.Open();
    player.Play();
}

} // namespace
