#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>

#include "platform/decoder/xaudio.h"

class TAudioOutput;
class TDecoderEngine;

// One control message as queued for the player's thread.
struct TControlMessage {
    TControlMessage() = default;
    explicit TControlMessage(int code, int32_t value1 = 0, int32_t value2 = 0, int32_t value3 = 0,
                             std::string text1 = {}, std::string text2 = {})
        : code(code), values{value1, value2, value3}, texts{std::move(text1), std::move(text2)} {}

    int code = 0;
    int32_t values[3] = {0, 0, 0};
    std::string texts[2];
    XA_EqualizerInfo equalizer{};
    bool hasEqualizer = false;  // false: a flat equalizer
};

// The player behind the decoder library's entry points: a thread that takes
// control messages from a queue, decodes the open input with libmpg123 and
// writes the sound to an output module, and posts notices to its target.
class TDecoderPlayer {
public:
    explicit TDecoderPlayer(const XA_NotifyTarget& target);
    ~TDecoderPlayer();

    // Starts the thread; its first notice may come before Start returns.
    void Start();

    TDecoderPlayer(const TDecoderPlayer&) = delete;
    TDecoderPlayer& operator=(const TDecoderPlayer&) = delete;

    // Queues a message; XA_ERROR_PLAYER_EXITED once exit has been taken.
    int Send(TControlMessage message);

    int SetPriority(int priority);
    int Priority() const;

private:
    void Run();
    // For the player's thread: waits up to `ms` for a message; true when
    // one is queued.
    bool WaitForMessage(int ms);
    int ApplyPriority() const;

    XA_NotifyTarget target_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<TControlMessage> queue_;
    bool exited_ = false;
    int priority_ = 3;  // normal, of 0 (idle) to 6 (time critical)
    pid_t threadId_ = 0;
    // Set by the thread while it holds an output, so that a new message can
    // cut a wait for room short; guarded by mutex_.
    TAudioOutput* waitingOutput_ = nullptr;
    std::unique_ptr<TDecoderEngine> engine_;
    std::thread thread_;

    friend class TDecoderEngine;
};
