#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "audiogen.h"
#include "platform/decoder/xaudio.h"
#include "tempdir.h"
#include "wavfile.h"

// A decoder player driven the way a program drives it, for the decoder's tests.
namespace decodertest {

using namespace std::chrono_literals;

struct Received {
    XA_Message message;
    std::string text;  // the notice's first text, copied
};

// A decoder player whose notices are collected as they come.
class Player {
public:
    Player() {
        const XA_NotifyTarget target{&Player::Receive, this};
        EXPECT_EQ(player_new(&player_, &target), XA_SUCCESS);
    }
    ~Player() { Delete(); }

    // Ends the player; every notice has arrived when it returns.
    void Delete() {
        if (player_) player_delete(player_);
        player_ = nullptr;
    }
    XA_Player* operator*() const { return player_; }

    // Opens the output and the file, and plays.
    void Start(const std::string& output, const std::string& file) {
        control_message_send_S(player_, XA_MSG_COMMAND_OUTPUT_OPEN, output.c_str());
        control_message_send_S(player_, XA_MSG_COMMAND_INPUT_OPEN, file.c_str());
        control_message_send_N(player_, XA_MSG_COMMAND_PLAY);
    }

    // Waits until a notice matches; fails the test after 20 s.
    Received WaitFor(const std::function<bool(const XA_Message&)>& match) {
        std::unique_lock lock(mutex_);
        for (size_t seen = 0;; ++seen) {
            if (!arrived_.wait_for(lock, 20s, [&] { return received_.size() > seen; })) {
                ADD_FAILURE() << "no such notice came";
                return {};
            }
            if (match(received_[seen].message)) return received_[seen];
        }
    }
    void WaitForOffsetAbove(uint32_t offset) {
        WaitFor([offset](const XA_Message& m) {
            return m.code == XA_MSG_NOTIFY_INPUT_POSITION && m.data.position.offset > offset;
        });
    }
    Received WaitForState(int state) {
        return WaitFor([state](const XA_Message& m) {
            return m.code == XA_MSG_NOTIFY_PLAYER_STATE && m.data.state == state;
        });
    }
    std::vector<Received> Notices() {
        std::lock_guard lock(mutex_);
        return received_;
    }
    std::vector<int> States() {
        std::vector<int> states;
        for (const Received& r : Notices())
            if (r.message.code == XA_MSG_NOTIFY_PLAYER_STATE) states.push_back(r.message.data.state);
        return states;
    }

private:
    static void Receive(void* context, XA_Notice* notice) {
        auto* self = static_cast<Player*>(context);
        Received received{};
        control_notice_to_message(self->player_, &received.message, notice);
        const XA_Message& m = received.message;
        if (m.code == XA_MSG_NOTIFY_ERROR) received.text = m.data.error.message;
        if (m.code == XA_MSG_NOTIFY_INPUT_NAME || m.code == XA_MSG_NOTIFY_OUTPUT_NAME) received.text = m.data.name;
        if (m.code == XA_MSG_NOTIFY_OUTPUT_MODULE_INFO) received.text = m.data.module_info.name;
        if (m.code == XA_MSG_NOTIFY_PLAYER_ENVIRONMENT_STRING) received.text = m.data.environment_string.value;
        xaudio_notice_free(notice);
        std::lock_guard lock(self->mutex_);
        self->received_.push_back(received);
        self->arrived_.notify_all();
    }

    XA_Player* player_ = nullptr;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Received> received_;
};

class Decoder : public ::testing::Test {
protected:
    // A stereo file of a tone, encoded by the tests' own encoder.
    std::string Make(const std::string& name, const std::string& format, double seconds, double leftHz = 440,
                     double rightHz = 0, int rate = 44100, int bitrate = 128000) {
        std::string error;
        tone_ = audiogen::Tone(rate, seconds, leftHz, rightHz);
        EXPECT_TRUE(audiogen::Encode(dir_ / name, format, tone_, rate, bitrate, error)) << error;
        return dir_ / name;
    }
    // Plays a file to its end into a WAV file; `before` sends what else is
    // wanted before play.
    TWavData PlayToEnd(const std::string& file, const std::string& output,
                       const std::function<void(Player&)>& before = {}) {
        Player player;
        control_message_send_S(*player, XA_MSG_COMMAND_OUTPUT_OPEN, ("wav:" + dir_ / output).c_str());
        control_message_send_S(*player, XA_MSG_COMMAND_INPUT_OPEN, file.c_str());
        if (before) before(player);
        control_message_send_N(*player, XA_MSG_COMMAND_PLAY);
        player.WaitForState(XA_PLAYER_STATE_EOS);
        player.Delete();
        return Wav(output);
    }
    // Plays `file` paced into the WAV file `output` and, once past `offset`,
    // sends `code` and waits for `state`.
    void PlayUntil(Player& player, const std::string& file, const std::string& output, uint32_t offset, int code,
                   int state) {
        player.Start("wav:" + dir_ / output + "?speed=8", file);
        player.WaitForOffsetAbove(offset);
        control_message_send_N(*player, code);
        player.WaitForState(state);
    }
    TWavData Wav(const std::string& output) {
        TWavData wav;
        EXPECT_TRUE(ReadWavFile(dir_ / output, wav));
        return wav;
    }

    TempDir dir_;
    std::vector<int16_t> tone_;
};

} // namespace decodertest
