#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/fileio.h"
#include "decoderfixture.h"
#include "fadecheck.h"
#include "mp3builder.h"

namespace {

using namespace decodertest;
using Clock = std::chrono::steady_clock;

// What a listener hits: damaged files, devices that come late, commands in
// every state.
class DecoderRobust : public Decoder {
protected:
    // `file` with `damage` put into it half way.
    std::string Damaged(const std::string& file, const std::string& name, const std::string& damage) {
        std::string bytes;
        EXPECT_TRUE(ReadWholeFile(file, bytes));
        bytes.insert(bytes.size() / 2, damage);
        EXPECT_TRUE(mp3::WriteFile(dir_ / name, bytes));
        return dir_ / name;
    }
    static double Seconds(const TWavData& wav) { return double(wav.Frames()) / wav.rate; }
};

std::string Junk(std::size_t size) {
    std::mt19937 random(7);
    std::string junk(size, '\0');
    for (char& c : junk) c = char(random());
    return junk;
}

TEST_F(DecoderRobust, DamageInTheMiddleIsPlayedThrough) {
    const std::string clean = Make("clean.mp3", "mp3", 10.0, 440, 660);
    const struct {
        const char* name;
        std::string damage;
    } cases[] = {
        {"junk.mp3", Junk(20 * 1024)},
        {"zeros.mp3", std::string(100 * 1024, '\0')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = Damaged(clean, c.name, c.damage);
        Player player;
        control_message_send_S(*player, XA_MSG_COMMAND_OUTPUT_OPEN, ("wav:" + dir_ / "out.wav").c_str());
        control_message_send_S(*player, XA_MSG_COMMAND_INPUT_OPEN, file.c_str());
        control_message_send_N(*player, XA_MSG_COMMAND_PLAY);
        player.WaitForState(XA_PLAYER_STATE_EOS);
        EXPECT_EQ(player.States(), (std::vector<int>{XA_PLAYER_STATE_PLAYING, XA_PLAYER_STATE_EOS}));
        player.Delete();
        for (const Received& r : player.Notices()) EXPECT_NE(r.message.code, XA_MSG_NOTIFY_ERROR) << r.text;
        EXPECT_NEAR(Seconds(Wav("out.wav")), audiogen::DecodedSeconds(file), 0.35);
        EXPECT_NEAR(Seconds(Wav("out.wav")), 10.0, 0.35);
    }
}

TEST_F(DecoderRobust, ATagThatClaimsTooLittleStillPlays) {
    const std::string clean = Make("clean.mp3", "mp3", 2.0);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(clean, bytes));
    const std::string tag = mp3::Tag(3)
                                .Text("TIT2", "歌")
                                .Frame("APIC", mp3::PictureBody(0, "image/jpeg", 3, "", mp3::JpegData(150000)))
                                .DeclaredSize(200)
                                .Build();
    ASSERT_TRUE(mp3::WriteFile(dir_ / "tagged.mp3", tag + bytes));
    const TWavData wav = PlayToEnd(dir_ / "tagged.mp3", "out.wav");
    EXPECT_NEAR(Seconds(wav), 2.0, 0.35);
}

TEST_F(DecoderRobust, StreamsJoinedFromTwoEncodingsPlayAtOneRate) {
    const std::string first = Make("first.mp3", "mp3", 1.0, 440, 440, 44100);
    const std::string second = Make("second.mp3", "mp3", 1.0, 440, 440, 22050, 64000);
    std::string a, b;
    ASSERT_TRUE(ReadWholeFile(first, a));
    ASSERT_TRUE(ReadWholeFile(second, b));
    ASSERT_TRUE(mp3::WriteFile(dir_ / "joined.mp3", a + b));
    const TWavData wav = PlayToEnd(dir_ / "joined.mp3", "out.wav");
    EXPECT_EQ(wav.rate, 44100);
    EXPECT_NEAR(Seconds(wav), 2.0, 0.35);
    // Both halves keep their pitch: 440 Hz crosses zero 880 times a second.
    const long half = wav.Frames() / 2;
    for (long from : {long(0), half}) {
        int crossings = 0;
        for (long i = from + 1; i < from + half; ++i)
            crossings += (wav.samples[2 * (i - 1)] < 0) != (wav.samples[2 * i] < 0);
        EXPECT_NEAR(crossings * double(wav.rate) / half, 880, 40) << "from frame " << from;
    }
}

// The state notices say what changed, once each.
TEST_F(DecoderRobust, StatesAreToldOnlyWhenTheyChange) {
    const std::string file = Make("tone.mp3", "mp3", 0.5);
    Player player;
    control_message_send_S(*player, XA_MSG_COMMAND_OUTPUT_OPEN, "null?speed=20");
    control_message_send_S(*player, XA_MSG_COMMAND_INPUT_OPEN, file.c_str());
    // Pause and stop while stopped change nothing.
    control_message_send_N(*player, XA_MSG_COMMAND_PAUSE);
    control_message_send_N(*player, XA_MSG_COMMAND_STOP);
    control_message_send_N(*player, XA_MSG_COMMAND_PLAY);
    control_message_send_N(*player, XA_MSG_COMMAND_PLAY);
    player.WaitForState(XA_PLAYER_STATE_EOS);
    // A pause pressed as the track ends does not end it again.
    control_message_send_N(*player, XA_MSG_COMMAND_PAUSE);
    control_message_send_N(*player, XA_MSG_COMMAND_INPUT_CLOSE);
    control_message_send_I(*player, XA_MSG_COMMAND_PING, 1);
    player.WaitFor([](const XA_Message& m) { return m.code == XA_MSG_NOTIFY_PONG; });
    EXPECT_EQ(player.States(), (std::vector<int>{XA_PLAYER_STATE_PLAYING, XA_PLAYER_STATE_EOS,
                                                 XA_PLAYER_STATE_STOPPED}));
}

TEST_F(DecoderRobust, StopAndSeekFadeOut) {
    const std::string file = Make("tone.mp3", "mp3", 3.0, 440, 550);
    const TWavData whole = PlayToEnd(file, "whole.wav");
    {
        Player player;
        PlayUntil(player, file, "stopped.wav", 3000, XA_MSG_COMMAND_STOP, XA_PLAYER_STATE_STOPPED);
        // The device plays out what it holds, ending in the fade.
        control_message_send_N(*player, XA_MSG_COMMAND_OUTPUT_DRAIN);
        player.WaitFor([](const XA_Message& m) { return m.code == XA_MSG_NOTIFY_ACK; });
    }
    const TWavData stopped = Wav("stopped.wav");
    ASSERT_LT(stopped.samples.size(), whole.samples.size());
    const auto heard =
        std::vector<int16_t>(whole.samples.begin(), whole.samples.begin() + long(stopped.samples.size()));
    fadecheck::ExpectFadesOnly(stopped.samples, heard, 1);
    fadecheck::ExpectFadedEnd(stopped.samples);

    // A seek back while playing: the fade out, then the new place fading in.
    Player player;
    player.Start("wav:" + dir_ / "sought.wav?speed=8", file);
    player.WaitForOffsetAbove(5000);
    control_message_send_II(*player, XA_MSG_COMMAND_SEEK, 1, 10);
    player.WaitForState(XA_PLAYER_STATE_EOS);
    player.Delete();
    const TWavData sought = Wav("sought.wav");
    ASSERT_GT(sought.samples.size(), whole.samples.size() / 2);
    const long fromSeek = long(whole.samples.size()) * 9 / 10;
    const auto tail = std::vector<int16_t>(sought.samples.end() - fromSeek, sought.samples.end());
    fadecheck::ExpectFadesOnly(tail, std::vector<int16_t>(whole.samples.end() - fromSeek, whole.samples.end()), 1);
}

TEST_F(DecoderRobust, ADeviceThatWasNotReadyIsTriedAgainAtTheNextInput) {
    const std::string file = Make("tone.mp3", "mp3", 0.3);
    Player player;
    control_message_send_S(*player, XA_MSG_COMMAND_OUTPUT_OPEN, ("wav:" + dir_ / "missing/a.wav").c_str());
    // The first two opens fail, as a sound server that has not started yet.
    control_message_send_S(*player, XA_MSG_COMMAND_OUTPUT_OPEN, "null?speed=20&refuse=2");
    for (int round = 1; round <= 3; ++round) {
        control_message_send_S(*player, XA_MSG_COMMAND_INPUT_OPEN, file.c_str());
        control_message_send_N(*player, XA_MSG_COMMAND_PLAY);
        player.WaitFor([round, seen = 0](const XA_Message& m) mutable {
            return m.code == XA_MSG_NOTIFY_PLAYER_STATE && m.data.state == XA_PLAYER_STATE_EOS && ++seen == round;
        });
    }
    std::vector<std::string> errors, outputs;
    for (const Received& r : player.Notices()) {
        if (r.message.code == XA_MSG_NOTIFY_ERROR) errors.push_back(r.text);
        if (r.message.code == XA_MSG_NOTIFY_OUTPUT_NAME) outputs.push_back(r.text);
    }
    // A file is not a device: its failure is an error, with nothing to stand in.
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[0].find("missing/a.wav"), std::string::npos) << errors[0];
    // The stand-in is told once, though the device refuses twice.
    EXPECT_EQ(errors[1], "null?speed=20&refuse=2: the sound device is not ready; playing to null");
    // The null module stands in for the first input; the second finds the device ready.
    EXPECT_EQ(outputs, (std::vector<std::string>{"null?speed=20&refuse=2", "null?speed=20&refuse=2"}));
}

TEST_F(DecoderRobust, NothingWaitsOnAPausedOrStalledDevice) {
    const std::string file = Make("tone.mp3", "mp3", 3.0);
    // How long a command takes to be answered; a hang shows as seconds.
    const auto answered = [](Player& player, int code, const std::function<bool(const XA_Message&)>& answer) {
        const size_t before = player.Notices().size();
        const Clock::time_point sent = Clock::now();
        control_message_send_N(*player, code);
        player.WaitFor([&, seen = size_t(0)](const XA_Message& m) mutable { return ++seen > before && answer(m); });
        return Clock::now() - sent;
    };
    const auto state = [](int s) {
        return [s](const XA_Message& m) { return m.code == XA_MSG_NOTIFY_PLAYER_STATE && m.data.state == s; };
    };
    const auto code = [](int c) { return [c](const XA_Message& m) { return m.code == c; }; };
    std::vector<Clock::duration> times;
    {
        Player player;
        player.Start("null", file);
        player.WaitForState(XA_PLAYER_STATE_PLAYING);
        times.push_back(answered(player, XA_MSG_COMMAND_PAUSE, state(XA_PLAYER_STATE_PAUSED)));
        // Paused, there is nothing to drain until play resumes.
        times.push_back(answered(player, XA_MSG_COMMAND_OUTPUT_DRAIN, code(XA_MSG_NOTIFY_ACK)));
        times.push_back(answered(player, XA_MSG_COMMAND_STOP, state(XA_PLAYER_STATE_STOPPED)));
        times.push_back(answered(player, XA_MSG_COMMAND_EXIT, code(XA_MSG_NOTIFY_EXITED)));
    }
    for (const char* output : {"null", "null?stall=100"}) {
        Player player;
        player.Start(output, file);
        player.WaitForState(XA_PLAYER_STATE_PLAYING);
        std::this_thread::sleep_for(200ms);
        times.push_back(answered(player, XA_MSG_COMMAND_STOP, state(XA_PLAYER_STATE_STOPPED)));
        control_message_send_N(*player, XA_MSG_COMMAND_PLAY);
        player.WaitForState(XA_PLAYER_STATE_PLAYING);
        const Clock::time_point sent = Clock::now();
        player.Delete();
        times.push_back(Clock::now() - sent);
    }
    {
        // At the end of the input, and stopped.
        Player player;
        player.Start("null?speed=20", Make("short.mp3", "mp3", 0.3));
        player.WaitForState(XA_PLAYER_STATE_EOS);
        times.push_back(answered(player, XA_MSG_COMMAND_EXIT, code(XA_MSG_NOTIFY_EXITED)));
        Player stopped;
        stopped.WaitFor(code(XA_MSG_NOTIFY_READY));
        const Clock::time_point sent = Clock::now();
        stopped.Delete();
        times.push_back(Clock::now() - sent);
    }
    const Clock::duration slowest = *std::max_element(times.begin(), times.end());
    RecordProperty("slowest_answer_us", int(std::chrono::duration_cast<std::chrono::microseconds>(slowest).count()));
    // Far above the tens of milliseconds it takes, far below the seconds of a wait on the device.
    EXPECT_LT(slowest, 1s);
}

} // namespace
