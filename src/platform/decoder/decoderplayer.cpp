#include "platform/decoder/decoderplayer.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <iterator>

#include "platform/audio/audiooutput.h"
#include "platform/decoder/decoderengine.h"

namespace {

// Nice values for the priority levels 0 (idle) to 6 (time critical); 3 is normal.
constexpr int kNiceOfPriority[] = {19, 10, 5, 0, -5, -10, -15};
constexpr int kNormalPriority = 3;

} // namespace

// ---- the player ----------------------------------------------------------------

TDecoderPlayer::TDecoderPlayer(const XA_NotifyTarget& target)
    : target_(target), engine_(std::make_unique<TDecoderEngine>(*this)) {}

void TDecoderPlayer::Start() { thread_ = std::thread([this] { Run(); }); }

TDecoderPlayer::~TDecoderPlayer() {
    {
        std::lock_guard lock(mutex_);
        if (!exited_) {
            queue_.push_back(TControlMessage(XA_MSG_COMMAND_EXIT));
            exited_ = true;
            if (waitingOutput_) waitingOutput_->Interrupt();
            wake_.notify_one();
        }
    }
    if (thread_.joinable()) thread_.join();
}

int TDecoderPlayer::Send(TControlMessage message) {
    std::lock_guard lock(mutex_);
    if (exited_) return XA_ERROR_PLAYER_EXITED;
    if (message.code == XA_MSG_COMMAND_EXIT) exited_ = true;
    queue_.push_back(std::move(message));
    if (waitingOutput_) waitingOutput_->Interrupt();
    wake_.notify_one();
    return XA_SUCCESS;
}

int TDecoderPlayer::SetPriority(int priority) {
    if (priority < 0 || priority >= int(std::size(kNiceOfPriority))) return XA_ERROR_INVALID_PARAMETERS;
    std::lock_guard lock(mutex_);
    priority_ = priority;
    return ApplyPriority();
}

// Raising the priority needs a privilege most users lack; the thread then
// keeps the one it has. Before the thread runs, it applies it itself.
int TDecoderPlayer::ApplyPriority() const {
    if (threadId_ == 0) return XA_SUCCESS;
    return setpriority(PRIO_PROCESS, id_t(threadId_), kNiceOfPriority[priority_]) == 0 ? XA_SUCCESS : XA_FAILURE;
}

int TDecoderPlayer::Priority() const {
    std::lock_guard lock(mutex_);
    return priority_;
}

bool TDecoderPlayer::WaitForMessage(int ms) {
    std::unique_lock lock(mutex_);
    return wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !queue_.empty(); });
}

void TDecoderPlayer::Run() {
    {
        std::lock_guard lock(mutex_);
        threadId_ = gettid();
        if (priority_ != kNormalPriority) ApplyPriority();
    }
    engine_->PostReady();
    while (!engine_->Exited()) {
        TControlMessage message;
        bool received = false;
        {
            std::unique_lock lock(mutex_);
            if (queue_.empty()) {
                const int wait = engine_->WaitHint();
                const auto ready = [this] { return !queue_.empty(); };
                if (wait < 0) wake_.wait(lock, ready);
                else if (wait > 0) wake_.wait_for(lock, std::chrono::milliseconds(wait), ready);
            }
            if (!queue_.empty()) {
                message = std::move(queue_.front());
                queue_.pop_front();
                received = true;
            }
        }
        if (received) engine_->Handle(message);
        else engine_->Step();
    }
    engine_.reset();
}
