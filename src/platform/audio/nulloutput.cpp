#include "platform/audio/nulloutput.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/audio/wavoutput.h"

namespace {

using TClock = std::chrono::steady_clock;

// Like a sound card's buffer: enough to ride out a late writer, small enough
// that Delay stays close to what a listener hears.
constexpr long kBufferMs = 100;

// A sound card simulated with a clock. All of it is guarded by mutex_, as
// Interrupt comes from other threads; the clock moves on in the const
// accessors too, hence the mutable members.
class TPacedOutput final : public TAudioOutput {
public:
    TPacedOutput(const TPaceOptions& options, std::unique_ptr<TWavWriter> recorder)
        : options_(options), recorder_(std::move(recorder)), refusals_(options.refusals) {}
    ~TPacedOutput() override { Close(); }

    bool Open(const TAudioFormat& format) override {
        std::lock_guard lock(mutex_);
        CloseLocked();
        format_ = format;
        if (format.rate <= 0 || format.channels <= 0) {
            error_ = "unsupported sound format";
            return false;
        }
        if (refusals_ > 0) {
            --refusals_;
            error_ = "the sound device is not ready";
            return false;
        }
        if (recorder_ && !recorder_->Open(format, error_)) return false;
        error_.clear();
        state_ = TOutputState::Playing;
        consumed_ = 0;
        credit_ = 0;
        tick_ = TClock::now();
        interrupted_ = false;
        return true;
    }

    long Write(const int16_t* samples, long frames, int waitMs) override {
        std::unique_lock lock(mutex_);
        const TClock::time_point deadline = TClock::now() + std::chrono::milliseconds(std::max(waitMs, 0));
        for (;;) {
            const TClock::time_point now = TClock::now();
            Advance(now);
            if (state_ == TOutputState::Closed || state_ == TOutputState::Failed) return -1;
            const long room = Capacity() - Buffered();
            if (room > 0 || frames <= 0) {
                const long taken = std::clamp(frames, 0L, room);
                samples_.insert(samples_.end(), samples, samples + taken * format_.channels);
                return taken;
            }
            if (interrupted_) {
                interrupted_ = false;
                return 0;
            }
            if (now >= deadline) return 0;
            roomOrInterrupt_.wait_until(lock, std::min(deadline, RoomExpected(now, frames)));
        }
    }

    void Pause(bool paused) override {
        std::lock_guard lock(mutex_);
        Advance(TClock::now());
        if (paused && state_ == TOutputState::Playing) state_ = TOutputState::Paused;
        if (!paused && state_ == TOutputState::Paused) state_ = TOutputState::Playing;
        roomOrInterrupt_.notify_all();
    }

    void Reset() override {
        std::lock_guard lock(mutex_);
        Advance(TClock::now());
        DropBuffered();
        roomOrInterrupt_.notify_all();
    }

    long TakeBack(long frames) override {
        std::lock_guard lock(mutex_);
        Advance(TClock::now());
        const long taken = std::clamp(frames, 0L, Buffered());
        samples_.resize(samples_.size() - std::size_t(taken * format_.channels));
        if (head_ == samples_.size()) Empty();
        roomOrInterrupt_.notify_all();
        return taken;
    }

    void Finish() override {}

    void Close() override {
        std::lock_guard lock(mutex_);
        CloseLocked();
    }

    TOutputState State() const override {
        std::lock_guard lock(mutex_);
        Advance(TClock::now());
        return state_;
    }

    long Delay() const override {
        std::lock_guard lock(mutex_);
        Advance(TClock::now());
        return Buffered();
    }

    TAudioFormat Format() const override {
        std::lock_guard lock(mutex_);
        return format_;
    }

    std::string Error() const override {
        std::lock_guard lock(mutex_);
        return error_;
    }

    void Interrupt() override {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
        roomOrInterrupt_.notify_all();
    }

private:
    long Capacity() const { return std::max(1L, format_.rate * kBufferMs / 1000); }
    long Buffered() const { return long(samples_.size() - head_) / format_.channels; }
    double FramesPerSecond() const { return format_.rate * options_.speed; }

    // Frames of sound since Open after which `ms` would be reached, or -1.
    long FramesAt(int ms) const { return ms < 0 ? -1 : long(double(ms) * format_.rate / 1000); }

    // When enough will have been consumed to take a useful part of the offer:
    // waking for every single frame would only spin.
    TClock::time_point RoomExpected(TClock::time_point now, long frames) const {
        if (state_ != TOutputState::Playing || stalled_) return TClock::time_point::max();
        const long wanted = std::min(frames, std::max(1L, Capacity() / 4));
        const double seconds = std::max(0.0, (double(wanted) - credit_) / FramesPerSecond());
        return now + std::chrono::duration_cast<TClock::duration>(std::chrono::duration<double>(seconds));
    }

    // Consumes what the time since the last call allows, handing it to the
    // recorder, and notices the end or stall points on the way.
    void Advance(TClock::time_point now) const {
        const double elapsed = std::chrono::duration<double>(now - tick_).count();
        tick_ = now;
        if (state_ != TOutputState::Playing || stalled_) return;
        credit_ += elapsed * FramesPerSecond();
        long frames = credit_ >= double(Buffered()) ? Buffered() : long(credit_);
        const long endAt = FramesAt(options_.endMs);
        const long stallAt = stallOver_ ? -1 : FramesAt(options_.stallMs);
        if (endAt >= 0) frames = std::min(frames, endAt - consumed_);
        if (stallAt >= 0) frames = std::min(frames, stallAt - consumed_);
        if (frames > 0) Consume(frames);
        // Time with nothing to play is not owed to later sound.
        if (Buffered() == 0) credit_ = 0;
        if (endAt >= 0 && consumed_ >= endAt) {
            state_ = TOutputState::Failed;
            error_ = "the sound output ended after " + std::to_string(options_.endMs) + " ms";
            Empty();
        } else if (stallAt >= 0 && consumed_ >= stallAt) {
            stalled_ = true;
        }
    }

    void Consume(long frames) const {
        credit_ -= double(frames);
        consumed_ += frames;
        if (recorder_ && !recorder_->Append(samples_.data() + head_, frames, error_)) {
            state_ = TOutputState::Failed;
        }
        head_ += std::size_t(frames * format_.channels);
        if (head_ == samples_.size()) {
            Empty();
        } else if (head_ >= samples_.size() / 2) {
            samples_.erase(samples_.begin(), samples_.begin() + long(head_));
            head_ = 0;
        }
    }

    void Empty() const {
        samples_.clear();
        head_ = 0;
    }

    void DropBuffered() {
        Empty();
        credit_ = 0;
        if (stalled_) {
            stalled_ = false;
            stallOver_ = true;
        }
    }

    void CloseLocked() {
        if (state_ == TOutputState::Closed) return;
        Advance(TClock::now());
        DropBuffered();
        if (recorder_) recorder_->Close();
        state_ = TOutputState::Closed;
        interrupted_ = false;
        roomOrInterrupt_.notify_all();
    }

    const TPaceOptions options_;
    const std::unique_ptr<TWavWriter> recorder_;

    mutable std::mutex mutex_;
    std::condition_variable roomOrInterrupt_;
    TAudioFormat format_;
    bool interrupted_ = false;
    mutable TOutputState state_ = TOutputState::Closed;
    mutable std::string error_;
    // Handed over and not yet consumed: samples_ from head_ on.
    mutable std::vector<int16_t> samples_;
    mutable std::size_t head_ = 0;
    mutable long consumed_ = 0;
    // Frames the clock allows to be consumed and that were not yet.
    mutable double credit_ = 0;
    mutable TClock::time_point tick_;
    mutable bool stalled_ = false;
    bool stallOver_ = false;
    int refusals_;
};

} // namespace

std::unique_ptr<TAudioOutput> MakePacedOutput(const TPaceOptions& options, std::unique_ptr<TWavWriter> recorder) {
    return std::make_unique<TPacedOutput>(options, std::move(recorder));
}
