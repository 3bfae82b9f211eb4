#include "platform/audio/audiooutput.h"

#include <gtest/gtest.h>

#include <climits>
#include <string_view>
#include <thread>
#include <vector>

#include "core/fileio.h"
#include "tempdir.h"
#include "wavfile.h"

using namespace std::string_literals;

namespace {

// 8000 Hz mono keeps the arithmetic readable: 100 ms of buffer is 800 frames.
const TAudioFormat kMono8k{8000, 1};
constexpr long kBufferFrames = 800;

std::unique_ptr<TAudioOutput> Make(const std::string& setting) {
    std::string error;
    auto output = MakeAudioOutput(setting, error);
    EXPECT_NE(output, nullptr) << setting << ": " << error;
    return output;
}

// Samples that differ from their neighbours, so that a lost or repeated
// stretch shows up.
std::vector<int16_t> Ramp(long samples, int start = 0) {
    std::vector<int16_t> ramp(std::size_t(samples), 0);
    for (long i = 0; i < samples; ++i) ramp[std::size_t(i)] = int16_t((start + i) % 30000 - 15000);
    return ramp;
}

std::vector<int16_t> Concat(std::vector<int16_t> a, const std::vector<int16_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Hands over all of the sound, waiting for room as a player does; false when
// the output fails on the way.
bool WriteAll(TAudioOutput& output, const std::vector<int16_t>& samples) {
    const int channels = output.Format().channels;
    const long frames = long(samples.size()) / channels;
    for (long done = 0; done < frames;) {
        const long n = output.Write(samples.data() + done * channels, frames - done, 1000);
        if (n < 0) return false;
        done += n;
    }
    return true;
}

void WaitUntilHeard(const TAudioOutput& output) {
    while (output.Delay() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TWavData ReadBack(const std::string& path) {
    TWavData wav;
    EXPECT_TRUE(ReadWavFile(path, wav)) << path;
    return wav;
}

} // namespace

TEST(AudioOutputFactory, KnowsItsModulesInIdOrder) {
    ASSERT_EQ(AudioOutputModuleCount(), 3);
    const char* const* names = AudioOutputModuleNames();
    EXPECT_STREQ(names[0], "alsa");
    EXPECT_STREQ(names[1], "null");
    EXPECT_STREQ(names[2], "wav");
    for (const char* setting : {"alsa", "null", "null?speed=20&stall=300&end=900", "null?speed=0.5", "wav:/tmp/x.wav",
                             "wav:/tmp/x.wav?speed=10"}) {
        EXPECT_NE(Make(setting), nullptr);
    }
}

TEST(AudioOutputFactory, RejectsBadNamesAndOptionsWithAReason) {
    const struct {
        const char* setting;
        const char* reason;
    } cases[] = {
        {"", "unknown sound output module"},
        {"pulse", "unknown sound output module \"pulse\""},
        {"null?volume=3", "unknown sound output option \"volume\""},
        {"null?speed=fast", "bad value \"fast\" for the sound output option speed"},
        {"null?speed=0", "option speed"},
        {"null?speed=2x", "option speed"},
        {"null?speed", "option speed"},
        {"null?end=-5", "option end"},
        {"null?stall=1.5", "option stall"},
        {"null?refuse=-1", "option refuse (a whole number)"},
        {"null?end=99999999999", "option end"},
        {"null?speed=2&", "unknown sound output option \"\""},
        {"wav", "needs a file name"},
        {"wav:", "needs a file name"},
        {"wav:?speed=10", "needs a file name"},
        {"null:/tmp/x.wav", "null sound output takes no file name"},
        {"alsa:hw:0", "alsa sound output takes no file name"},
        {"alsa?speed=2", "alsa sound output takes only the option device=NAME"},
        {"alsa?device=", "alsa sound output takes only the option device=NAME"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(MakeAudioOutput(c.setting, error), nullptr) << c.setting;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.setting << " gave: " << error;
    }
}

TEST(AlsaOutput, WithoutASoundCardOpenFailsQuietlyWithAReason) {
    auto output = Make("alsa");
    testing::internal::CaptureStderr();
    const bool opened = output->Open({44100, 2});
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed, "");
    if (opened) GTEST_SKIP() << "this machine has a sound device";
    EXPECT_NE(output->Error().find("cannot open the sound device"), std::string::npos) << output->Error();
    EXPECT_EQ(output->State(), TOutputState::Closed);
    const std::vector<int16_t> samples = Ramp(200);
    EXPECT_EQ(output->Write(samples.data(), 100, 10), -1);
    EXPECT_EQ(output->Delay(), 0);
    output->Interrupt();
    output->Close();
}

TEST(NullOutput, TakesOnlyWhatFitsAndConsumesItAtItsPace) {
    auto output = Make("null?speed=20");
    ASSERT_TRUE(output->Open(kMono8k));
    EXPECT_EQ(output->State(), TOutputState::Playing);
    const std::vector<int16_t> sound = Ramp(4 * kBufferFrames);

    // Paused, nothing is consumed: the buffer takes its size and no more.
    output->Pause(true);
    EXPECT_EQ(output->State(), TOutputState::Paused);
    EXPECT_EQ(output->Write(sound.data(), 4 * kBufferFrames, 0), kBufferFrames);
    EXPECT_EQ(output->Write(sound.data(), 4 * kBufferFrames, 20), 0);
    EXPECT_EQ(output->Delay(), kBufferFrames);

    output->Pause(false);
    ASSERT_TRUE(WriteAll(*output, std::vector<int16_t>(sound.begin() + kBufferFrames, sound.end())));
    WaitUntilHeard(*output);
    EXPECT_EQ(output->State(), TOutputState::Playing);

    output->Close();
    EXPECT_EQ(output->State(), TOutputState::Closed);
    EXPECT_EQ(output->Write(sound.data(), 10, 0), -1);
}

TEST(NullOutput, ResetDropsWhatWasNotHeard) {
    auto output = Make("null?speed=20");
    ASSERT_TRUE(output->Open(kMono8k));
    output->Pause(true);
    const std::vector<int16_t> sound = Ramp(kBufferFrames);
    ASSERT_EQ(output->Write(sound.data(), kBufferFrames, 0), kBufferFrames);
    output->Reset();
    EXPECT_EQ(output->Delay(), 0);
    EXPECT_EQ(output->State(), TOutputState::Paused);
    EXPECT_EQ(output->Write(sound.data(), kBufferFrames, 0), kBufferFrames);
}

TEST(NullOutput, TakesBackOnlyWhatWasNotHeard) {
    TempDir dir;
    auto output = Make("wav:" + dir / "a.wav?speed=20");
    ASSERT_TRUE(output->Open(kMono8k));
    output->Pause(true);
    const std::vector<int16_t> first = Ramp(kBufferFrames), last = Ramp(300, 7000);
    ASSERT_TRUE(WriteAll(*output, first));
    EXPECT_EQ(output->TakeBack(300), 300);
    EXPECT_EQ(output->Delay(), kBufferFrames - 300);
    EXPECT_EQ(output->TakeBack(kBufferFrames), kBufferFrames - 300);
    EXPECT_EQ(output->TakeBack(10), 0);
    ASSERT_TRUE(WriteAll(*output, last));
    output->Finish();
    output->Pause(false);
    WaitUntilHeard(*output);
    output->Close();
    EXPECT_EQ(ReadBack(dir / "a.wav").samples, last);

    // Unpaced, everything is heard at once: nothing can be taken back.
    auto unpaced = Make("wav:" + dir / "b.wav");
    ASSERT_TRUE(unpaced->Open(kMono8k));
    ASSERT_TRUE(WriteAll(*unpaced, first));
    EXPECT_EQ(unpaced->TakeBack(100), 0);
}

TEST(NullOutput, RefusesItsFirstOpensWhenAsked) {
    auto output = Make("null?refuse=2");
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_FALSE(output->Open(kMono8k));
        EXPECT_EQ(output->Error(), "the sound device is not ready");
        EXPECT_EQ(output->State(), TOutputState::Closed);
    }
    EXPECT_TRUE(output->Open(kMono8k));
    EXPECT_EQ(output->Error(), "");
}

TEST(NullOutput, InterruptWakesAWriteWaitingForRoom) {
    auto output = Make("null");
    ASSERT_TRUE(output->Open(kMono8k));
    output->Pause(true);
    const std::vector<int16_t> sound = Ramp(2 * kBufferFrames);
    ASSERT_EQ(output->Write(sound.data(), 2 * kBufferFrames, 0), kBufferFrames);

    for (int round = 0; round < 2; ++round) {
        long taken = -2;
        std::thread writer([&] { taken = output->Write(sound.data(), kBufferFrames, INT_MAX); });
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        output->Interrupt();
        writer.join();
        EXPECT_EQ(taken, 0) << "round " << round;
    }
    EXPECT_EQ(output->Delay(), kBufferFrames);
}

TEST(NullOutput, AnInterruptBeforeTheWaitIsNotLost) {
    auto output = Make("null?stall=0");
    ASSERT_TRUE(output->Open(kMono8k));
    const std::vector<int16_t> sound = Ramp(2 * kBufferFrames);
    ASSERT_EQ(output->Write(sound.data(), 2 * kBufferFrames, 0), kBufferFrames);
    output->Interrupt();
    EXPECT_EQ(output->Write(sound.data(), kBufferFrames, INT_MAX), 0);
}

TEST(NullOutput, StallsOnceUntilReset) {
    // Stalls after 300 ms: 2400 frames heard, then 800 more fill the buffer.
    auto output = Make("null?speed=20&stall=300");
    ASSERT_TRUE(output->Open(kMono8k));
    const std::vector<int16_t> sound = Ramp(100);
    long total = 0;
    while (total < 2400 + kBufferFrames) total += output->Write(sound.data(), 100, 1000);
    EXPECT_EQ(total, 2400 + kBufferFrames);
    // 50 ms at 20 times real time would be a whole second of sound.
    EXPECT_EQ(output->Write(sound.data(), 100, 50), 0);
    EXPECT_EQ(output->Delay(), kBufferFrames);
    EXPECT_EQ(output->State(), TOutputState::Playing);

    output->Reset();
    ASSERT_TRUE(WriteAll(*output, Ramp(4000)));
    WaitUntilHeard(*output);
}

TEST(NullOutput, EndFailsTheDeviceUntilOpenedAgain) {
    auto output = Make("null?speed=20&end=200");
    ASSERT_TRUE(output->Open(kMono8k));
    EXPECT_FALSE(WriteAll(*output, Ramp(20000)));
    EXPECT_EQ(output->State(), TOutputState::Failed);
    EXPECT_NE(output->Error().find("200 ms"), std::string::npos) << output->Error();
    EXPECT_EQ(output->Delay(), 0);
    const std::vector<int16_t> sound = Ramp(10);
    EXPECT_EQ(output->Write(sound.data(), 10, 0), -1);

    ASSERT_TRUE(output->Open(kMono8k));
    EXPECT_EQ(output->State(), TOutputState::Playing);
    EXPECT_EQ(output->Error(), "");
    EXPECT_EQ(output->Write(sound.data(), 10, 0), 10);
}

TEST(WavOutput, WritesACanonicalFileAtOnce) {
    TempDir dir;
    auto output = Make("wav:" + dir / "a.wav");
    ASSERT_TRUE(output->Open(kMono8k));
    const int16_t samples[] = {1, -2, 300};
    EXPECT_EQ(output->Write(samples, 3, 0), 3);
    EXPECT_EQ(output->Delay(), 0);
    output->Close();
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(dir / "a.wav", bytes));
    EXPECT_EQ(bytes, "RIFF\x2a\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x80\x3e\0\0\x02\0\x10\0"
                     "data\x06\0\0\0\x01\0\xfe\xff\x2c\x01"s);
}

TEST(WavOutput, TakesAnyAmountWithoutWaitingAndFixesTheHeaderWhenDestroyed) {
    TempDir dir;
    const std::vector<int16_t> sound = Ramp(2 * 100000);
    {
        auto output = Make("wav:" + dir / "a.wav");
        ASSERT_TRUE(output->Open({44100, 2}));
        EXPECT_EQ(output->Write(sound.data(), 100000, 0), 100000);
        EXPECT_EQ(output->Delay(), 0);
    }
    const TWavData wav = ReadBack(dir / "a.wav");
    EXPECT_EQ(wav.rate, 44100);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.samples, sound);
}

TEST(WavOutput, OpeningAgainAppendsUnlessTheFormatChanges) {
    TempDir dir;
    auto output = Make("wav:" + dir / "a.wav");
    const std::vector<int16_t> first = Ramp(600), second = Ramp(400, 600), third = Ramp(200, 5000);
    ASSERT_TRUE(output->Open(kMono8k));
    ASSERT_TRUE(WriteAll(*output, first));
    output->Close();
    ASSERT_TRUE(output->Open(kMono8k));
    ASSERT_TRUE(WriteAll(*output, second));
    output->Close();
    EXPECT_EQ(ReadBack(dir / "a.wav").samples, Concat(first, second));

    ASSERT_TRUE(output->Open({22050, 2}));
    ASSERT_TRUE(WriteAll(*output, third));
    output->Close();
    const TWavData wav = ReadBack(dir / "a.wav");
    EXPECT_EQ(wav.rate, 22050);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.samples, third);
}

TEST(WavOutput, AFileThatCannotBeWrittenFailsTheOpen) {
    TempDir dir;
    for (const char* options : {"", "?speed=10"}) {
        auto output = Make("wav:" + dir / "missing/a.wav" + options);
        EXPECT_FALSE(output->Open(kMono8k));
        EXPECT_NE(output->Error().find(dir / "missing/a.wav"), std::string::npos) << output->Error();
        EXPECT_EQ(output->State(), TOutputState::Closed);
    }
}

TEST(PacedWavOutput, PauseAndResumeLoseAndRepeatNothing) {
    TempDir dir;
    auto output = Make("wav:" + dir / "a.wav?speed=20");
    ASSERT_TRUE(output->Open({8000, 2}));
    const std::vector<int16_t> sound = Ramp(2 * 6000);
    const int16_t* rest = sound.data() + 2 * 3000;
    ASSERT_TRUE(WriteAll(*output, std::vector<int16_t>(sound.data(), rest)));

    // Filled up while paused, the buffer stays full however long the pause.
    output->Pause(true);
    for (long n = 1; n > 0; rest += 2 * n) n = output->Write(rest, 1000, 0);
    EXPECT_EQ(output->Delay(), kBufferFrames);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(output->Delay(), kBufferFrames);

    output->Pause(false);
    ASSERT_TRUE(WriteAll(*output, std::vector<int16_t>(rest, sound.data() + sound.size())));
    WaitUntilHeard(*output);
    output->Close();
    const TWavData wav = ReadBack(dir / "a.wav");
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.samples, sound);
}

TEST(PacedWavOutput, ResetKeepsOnlyWhatWasHeard) {
    TempDir dir;
    auto output = Make("wav:" + dir / "a.wav?speed=10");
    ASSERT_TRUE(output->Open(kMono8k));
    const std::vector<int16_t> unheard = Ramp(kBufferFrames), partly = Ramp(3000, 1000), last = Ramp(1000, 9000);

    output->Pause(true);
    ASSERT_TRUE(WriteAll(*output, unheard));
    output->Reset();
    output->Pause(false);
    ASSERT_TRUE(WriteAll(*output, partly));
    output->Reset();
    ASSERT_TRUE(WriteAll(*output, last));
    WaitUntilHeard(*output);
    output->Close();

    // Some start of `partly` (however much the clock got to), then all of `last`.
    const std::vector<int16_t> heard = ReadBack(dir / "a.wav").samples;
    ASSERT_GE(heard.size(), last.size());
    const std::size_t head = heard.size() - last.size();
    ASSERT_LE(head, partly.size());
    EXPECT_EQ(std::vector<int16_t>(heard.begin(), heard.begin() + long(head)),
              std::vector<int16_t>(partly.begin(), partly.begin() + long(head)));
    EXPECT_EQ(std::vector<int16_t>(heard.begin() + long(head), heard.end()), last);
}

TEST(PacedWavOutput, RecordsExactlyWhatWasHeardBeforeAStallOrAnEnd) {
    TempDir dir;
    const std::vector<int16_t> sound = Ramp(8000);
    for (const char* options : {"stall=100", "end=100"}) {
        const std::string path = dir / (std::string(options).substr(0, 3) + ".wav");
        auto output = Make("wav:" + path + "?speed=20&" + options);
        ASSERT_TRUE(output->Open(kMono8k));
        // Until it takes nothing more (stalled) or fails (ended).
        for (long total = 0, n = 1; n > 0; total += n) {
            n = output->Write(sound.data() + total, long(sound.size()) - total, 50);
        }
        output->Close();
        EXPECT_EQ(ReadBack(path).samples, std::vector<int16_t>(sound.begin(), sound.begin() + 800)) << options;
    }
}

// ALSA's own "null" device takes sound like a card would, so the module's
// writing, pausing and resetting run without sound hardware.
TEST(AlsaOutput, PlaysToAnAlsaDevice) {
    auto output = Make("alsa?device=null");
    if (!output->Open({44100, 2})) GTEST_SKIP() << output->Error();
    EXPECT_EQ(output->State(), TOutputState::Playing);
    const std::vector<int16_t> sound = Ramp(2 * 44100);
    long taken = 0;
    while (taken < 44100) {
        const long now = output->Write(sound.data() + 2 * taken, 44100 - taken, 100);
        ASSERT_GE(now, 0) << output->Error();
        taken += now;
    }
    // What is taken back is no longer waiting to be heard.
    const long before = output->Delay();
    const long back = output->TakeBack(before);
    EXPECT_GE(back, 0);
    EXPECT_LE(back, before);
    output->Finish();
    output->Pause(true);
    EXPECT_EQ(output->State(), TOutputState::Paused);
    output->Pause(false);
    output->Reset();
    EXPECT_EQ(output->Delay(), 0);
    EXPECT_GT(output->Write(sound.data(), 1000, 100), 0);
    output->Close();
    EXPECT_EQ(output->State(), TOutputState::Closed);
}
