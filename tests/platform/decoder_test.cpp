#include "platform/decoder/xaudio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "decoderfixture.h"
#include "fadecheck.h"

namespace {

using namespace decodertest;

TEST_F(Decoder, DecodesEachLayerToItsLength) {
    // LAME's header tells the exact length: encoder delay and padding are cut.
    const TWavData mp3 = PlayToEnd(Make("tone.mp3", "mp3", 1.5), "mp3.wav");
    EXPECT_EQ(mp3.rate, 44100);
    EXPECT_EQ(mp3.channels, 2);
    EXPECT_EQ(mp3.Frames(), long(tone_.size() / 2));

    // Layer II has no such header: every frame's 1152 samples are played.
    const std::string mp2 = Make("tone.mp2", "mp2", 1.0, 440, 660, 48000, 192000);
    std::ifstream file(mp2, std::ios::binary | std::ios::ate);
    const long frames = long(file.tellg()) / 576;  // 192 kbit/s at 48 kHz, no padding
    const TWavData layer2 = PlayToEnd(mp2, "mp2.wav");
    EXPECT_EQ(layer2.rate, 48000);
    EXPECT_EQ(layer2.Frames(), frames * 1152);
}

TEST_F(Decoder, PauseAndResumeLoseAndRepeatNothing) {
    const std::string file = Make("tone.mp3", "mp3", 3.0, 440, 550);
    const TWavData whole = PlayToEnd(file, "whole.wav");

    Player player;
    PlayUntil(player, file, "paused.wav", 2000, XA_MSG_COMMAND_PAUSE, XA_PLAYER_STATE_PAUSED);
    std::this_thread::sleep_for(100ms);
    control_message_send_N(*player, XA_MSG_COMMAND_PLAY);
    player.WaitForState(XA_PLAYER_STATE_EOS);
    std::this_thread::sleep_for(100ms);  // the end is told once
    EXPECT_EQ(player.States(), (std::vector<int>{XA_PLAYER_STATE_PLAYING, XA_PLAYER_STATE_PAUSED,
                                                 XA_PLAYER_STATE_PLAYING, XA_PLAYER_STATE_EOS}));
    player.Delete();
    fadecheck::ExpectFadesOnly(Wav("paused.wav").samples, whole.samples, 1);

    // Position notices come several times a second, each within its range.
    int positions = 0;
    for (const Received& r : player.Notices()) {
        if (r.message.code != XA_MSG_NOTIFY_INPUT_POSITION) continue;
        ++positions;
        EXPECT_LE(r.message.data.position.offset, r.message.data.position.range);
        EXPECT_EQ(r.message.data.position.range, XA_DEFAULT_POSITION_RANGE);
    }
    EXPECT_GE(positions, 10);
}

TEST_F(Decoder, SeekLandsWhereAsked) {
    const std::string file = Make("tone.mp3", "mp3", 2.0, 300, 500);
    const TWavData whole = PlayToEnd(file, "whole.wav");
    const TWavData half = PlayToEnd(file, "half.wav", [](Player& player) {
        control_message_send_II(*player, XA_MSG_COMMAND_SEEK, 1, 2);
    });
    const long wanted = whole.Frames() / 2;
    EXPECT_NEAR(half.Frames(), wanted, 1152);
    // What is played is the input from that place on, fading in.
    ASSERT_LE(half.samples.size(), whole.samples.size());
    fadecheck::ExpectFadesOnly(half.samples, std::vector<int16_t>(whole.samples.end() - long(half.samples.size()),
                                                                  whole.samples.end()), 1);
}

TEST_F(Decoder, ChannelModes) {
    const std::string file = Make("tone.mp3", "mp3", 0.5, 440, 1000);
    const TWavData stereo = PlayToEnd(file, "stereo.wav");
    for (int mode : {XA_OUTPUT_CHANNELS_MONO_LEFT, XA_OUTPUT_CHANNELS_MONO_RIGHT, XA_OUTPUT_CHANNELS_MONO_MIX}) {
        SCOPED_TRACE(mode);
        const TWavData out = PlayToEnd(file, "mode.wav", [mode](Player& player) {
            control_message_send_I(*player, XA_MSG_SET_OUTPUT_CHANNELS, mode);
        });
        ASSERT_EQ(out.samples.size(), stereo.samples.size());
        int wrong = 0;
        for (size_t i = 0; i < out.samples.size(); i += 2) {
            const int l = stereo.samples[i], r = stereo.samples[i + 1];
            const int expected = mode == XA_OUTPUT_CHANNELS_MONO_LEFT    ? l
                                 : mode == XA_OUTPUT_CHANNELS_MONO_RIGHT ? r
                                                                         : (l + r) / 2;
            wrong += out.samples[i] != expected || out.samples[i + 1] != expected;
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(Decoder, OpeningAnotherFileStopsTheOneThatPlays) {
    const std::string first = Make("first.mp3", "mp3", 3.0, 440, 440);
    const std::string second = Make("second.mp3", "mp3", 0.5, 880, 880);
    const TWavData alone = PlayToEnd(second, "alone.wav");

    // Opened at once, or stopped and closed first as the player component does.
    for (const bool closeFirst : {false, true}) {
        SCOPED_TRACE(closeFirst);
        Player player;
        player.Start("wav:" + dir_ / "both.wav?speed=8", first);
        player.WaitForOffsetAbove(1000);
        if (closeFirst) {
            control_message_send_N(*player, XA_MSG_COMMAND_STOP);
            control_message_send_N(*player, XA_MSG_COMMAND_INPUT_CLOSE);
        }
        control_message_send_S(*player, XA_MSG_COMMAND_INPUT_OPEN, second.c_str());
        control_message_send_N(*player, XA_MSG_COMMAND_PLAY);
        player.WaitForState(XA_PLAYER_STATE_EOS);
        EXPECT_EQ(player.States(), (std::vector<int>{XA_PLAYER_STATE_PLAYING, XA_PLAYER_STATE_STOPPED,
                                                     XA_PLAYER_STATE_PLAYING, XA_PLAYER_STATE_EOS}));
        player.Delete();
        const TWavData both = Wav("both.wav");
        ASSERT_GT(both.samples.size(), alone.samples.size());
        EXPECT_LT(both.samples.size(), size_t(2 * 44100 * 3));
        const auto secondStarts = both.samples.end() - long(alone.samples.size());
        EXPECT_TRUE(std::equal(alone.samples.begin(), alone.samples.end(), secondStarts));
        // The first file is not cut off: its sound fades out before the second begins.
        fadecheck::ExpectFadedEnd(std::vector<int16_t>(both.samples.begin(), secondStarts));
    }
}

TEST_F(Decoder, FilesThatAreNotAudioGiveAnErrorNotice) {
    {
        std::ofstream text(dir_ / "notes.mp3");
        for (int i = 0; i < 2000; ++i) text << "not a sound at all, line " << i << "\n";
    }
    for (const std::string& name : {dir_ / "notes.mp3", dir_ / "missing.mp3"}) {
        SCOPED_TRACE(name);
        Player player;
        control_message_send_S(*player, XA_MSG_COMMAND_INPUT_OPEN, name.c_str());
        control_message_send_N(*player, XA_MSG_COMMAND_PLAY);
        const Received error = player.WaitFor([](const XA_Message& m) { return m.code == XA_MSG_NOTIFY_ERROR; });
        EXPECT_EQ(error.message.data.error.source, XA_SOURCE_INPUT);
        EXPECT_NE(error.text.find(name), std::string::npos);
        const Received nack = player.WaitFor([](const XA_Message& m) { return m.code == XA_MSG_NOTIFY_NACK; });
        EXPECT_EQ(nack.message.data.nack.command, XA_MSG_COMMAND_PLAY);
        EXPECT_EQ(nack.message.data.nack.code, XA_ERROR_NO_INPUT);
    }
}

TEST_F(Decoder, OutputFaults) {
    const std::string file = Make("tone.mp3", "mp3", 2.0);
    {
        // The device goes away: an error, and the player stops.
        Player player;
        player.Start("null?speed=10&end=300", file);
        const Received error = player.WaitFor([](const XA_Message& m) { return m.code == XA_MSG_NOTIFY_ERROR; });
        EXPECT_EQ(error.message.data.error.source, XA_SOURCE_OUTPUT);
        player.WaitForState(XA_PLAYER_STATE_STOPPED);
    }
    {
        // The device stops taking sound: the player still answers.
        Player player;
        player.Start("null?speed=10&stall=300", file);
        player.WaitForOffsetAbove(1000);
        control_message_send_N(*player, XA_MSG_COMMAND_STOP);
        player.WaitForState(XA_PLAYER_STATE_STOPPED);
    }
    {
        Player player;
        control_message_send_S(*player, XA_MSG_COMMAND_OUTPUT_OPEN, "nowhere");
        const Received error = player.WaitFor([](const XA_Message& m) { return m.code == XA_MSG_NOTIFY_ERROR; });
        EXPECT_EQ(error.message.data.error.code, XA_ERROR_OUTPUT_OPEN_FAILED);
    }
}

TEST_F(Decoder, RequestsAreAnswered) {
    Player player;
    player.WaitFor([](const XA_Message& m) { return m.code == XA_MSG_NOTIFY_READY; });
    struct Case {
        std::function<void()> send;
        int notice;
        uint32_t value;  // the notice's first 32 bits of data
    };
    const std::vector<Case> cases = {
        {[&] { control_message_send_I(*player, XA_MSG_COMMAND_PING, 77); }, XA_MSG_NOTIFY_PONG, 77},
        {[&] { control_message_send_N(*player, XA_MSG_GET_INPUT_POSITION_RANGE); }, XA_MSG_NOTIFY_INPUT_POSITION_RANGE,
         XA_DEFAULT_POSITION_RANGE},
        {[&] { control_message_send_I(*player, XA_MSG_SET_INPUT_POSITION_RANGE, 400); },
         XA_MSG_NOTIFY_INPUT_POSITION_RANGE, 400},
        {[&] { control_message_send_I(*player, XA_MSG_SET_OUTPUT_CHANNELS, 3); }, XA_MSG_NOTIFY_OUTPUT_CHANNELS, 3},
        {[&] { control_message_send_I(*player, XA_MSG_SET_OUTPUT_CHANNELS, 4); }, XA_MSG_NOTIFY_NACK,
         uint32_t(XA_MSG_SET_OUTPUT_CHANNELS) | uint32_t(uint16_t(XA_ERROR_INVALID_PARAMETERS)) << 16},
        {[&] { control_message_send_I(*player, XA_MSG_SET_PLAYER_MODE, 5); }, XA_MSG_NOTIFY_PLAYER_MODE, 5},
        {[&] { control_message_send_I(*player, XA_MSG_SET_NOTIFICATION_MASK, 0xffff); },
         XA_MSG_NOTIFY_NOTIFICATION_MASK, 0xffff},
        {[&] { control_message_send_N(*player, XA_MSG_GET_OUTPUT_MODULE); }, XA_MSG_NOTIFY_OUTPUT_MODULE, 0},
        {[&] { control_message_send_S(*player, XA_MSG_GET_PLAYER_ENVIRONMENT_INTEGER, "x"); }, XA_MSG_NOTIFY_NACK,
         uint32_t(XA_MSG_GET_PLAYER_ENVIRONMENT_INTEGER) | uint32_t(uint16_t(XA_ERROR_NO_SUCH_VALUE)) << 16},
        {[&] { control_message_send_N(*player, 57); }, XA_MSG_NOTIFY_NACK,
         57u | uint32_t(uint16_t(XA_ERROR_NOT_SUPPORTED)) << 16},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        const size_t before = player.Notices().size();
        cases[i].send();
        const Received answer = player.WaitFor([&, seen = size_t(0)](const XA_Message&) mutable {
            return ++seen > before;
        });
        EXPECT_EQ(answer.message.code, cases[i].notice);
        uint32_t value = 0;
        std::memcpy(&value, &answer.message.data, sizeof value);
        if (answer.message.code == XA_MSG_NOTIFY_NACK)
            value = answer.message.data.nack.command | uint32_t(uint16_t(answer.message.data.nack.code)) << 16;
        EXPECT_EQ(value, cases[i].value);
    }

    control_message_send_SS(*player, XA_MSG_SET_PLAYER_ENVIRONMENT_STRING, "skin", "云");
    EXPECT_EQ(player.WaitFor([](const XA_Message& m) { return m.code == XA_MSG_NOTIFY_PLAYER_ENVIRONMENT_STRING; })
                  .text,
              "云");
    control_message_send_N(*player, XA_MSG_COMMAND_OUTPUT_MODULES_LIST);
    player.WaitFor([](const XA_Message& m) {
        return m.code == XA_MSG_NOTIFY_OUTPUT_MODULE_INFO && m.data.module_info.id == 2;
    });
    std::vector<std::string> modules;
    for (const Received& r : player.Notices())
        if (r.message.code == XA_MSG_NOTIFY_OUTPUT_MODULE_INFO) modules.push_back(r.text);
    EXPECT_EQ(modules, (std::vector<std::string>{"alsa", "null", "wav"}));

    control_message_send_N(*player, XA_MSG_COMMAND_EXIT);
    player.WaitFor([](const XA_Message& m) { return m.code == XA_MSG_NOTIFY_EXITED; });
    EXPECT_EQ(control_message_send_N(*player, XA_MSG_COMMAND_PLAY), XA_ERROR_PLAYER_EXITED);
    EXPECT_EQ(xaudio_get_api_version(2), 0x030200);
}

} // namespace
