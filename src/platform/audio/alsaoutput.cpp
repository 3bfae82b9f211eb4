#include "platform/audio/alsaoutput.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

// About what a desktop sound server asks for: long enough not to underrun
// when the machine is busy, short enough for a pause to feel immediate.
constexpr unsigned kLatencyUs = 200000;

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

class TAlsaOutput final : public TAudioOutput {
public:
    explicit TAlsaOutput(std::string device)
        : device_(std::move(device)), wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
        SilenceAlsaErrors();
    }

    ~TAlsaOutput() override {
        Close();
        if (wakeFd_ >= 0) close(wakeFd_);
    }

    bool Open(const TAudioFormat& format) override {
        Close();
        format_ = format;
        if (wakeFd_ < 0) {
            error_ = std::string("cannot make an event descriptor: ") + std::strerror(errno);
            return false;
        }
        int err = snd_pcm_open(&pcm_, device_.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
        if (err < 0) {
            pcm_ = nullptr;
            error_ = std::string("cannot open the sound device: ") + snd_strerror(err);
            return false;
        }
        err = snd_pcm_set_params(pcm_, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, unsigned(format.channels),
                                 unsigned(format.rate), 1, kLatencyUs);
        if (err < 0) {
            error_ = "the sound device does not take " + std::to_string(format.rate) + " Hz with " +
                     std::to_string(format.channels) + " channels: " + snd_strerror(err);
            Close();
            return false;
        }
        snd_pcm_hw_params_t* params = nullptr;
        snd_pcm_hw_params_alloca(&params);
        canPause_ = snd_pcm_hw_params_current(pcm_, params) == 0 && snd_pcm_hw_params_can_pause(params) == 1;
        StartAfterAPeriod();
        ClearInterrupt();
        error_.clear();
        state_ = TOutputState::Playing;
        return true;
    }

    long Write(const int16_t* samples, long frames, int waitMs) override {
        if (pcm_ == nullptr || state_ == TOutputState::Failed) return -1;
        if (frames <= 0) return 0;
        const TClock::time_point deadline = TClock::now() + std::chrono::milliseconds(std::max(waitMs, 0));
        for (;;) {
            if (state_ == TOutputState::Playing) {
                const snd_pcm_sframes_t written = snd_pcm_writei(pcm_, samples, snd_pcm_uframes_t(frames));
                if (written > 0) return long(written);
                if (written < 0 && written != -EAGAIN && !Recover(int(written))) return -1;
            }
            if (!WaitForRoom(deadline)) return 0;
        }
    }

    void Pause(bool paused) override {
        if (pcm_ == nullptr || state_ == TOutputState::Failed) return;
        if (paused && state_ == TOutputState::Playing) {
            // Without hardware pause what is buffered plays out and the
            // underrun that follows is recovered on resume.
            if (canPause_ && snd_pcm_state(pcm_) == SND_PCM_STATE_RUNNING) snd_pcm_pause(pcm_, 1);
            state_ = TOutputState::Paused;
        } else if (!paused && state_ == TOutputState::Paused) {
            state_ = TOutputState::Playing;
            const snd_pcm_state_t device = snd_pcm_state(pcm_);
            if (device == SND_PCM_STATE_XRUN || (device == SND_PCM_STATE_PAUSED && snd_pcm_pause(pcm_, 0) < 0)) {
                Recover(-EPIPE);
            }
        }
    }

    void Reset() override {
        if (pcm_ == nullptr || state_ == TOutputState::Failed) return;
        snd_pcm_drop(pcm_);
        Recover(-EPIPE);
    }

    void Close() override {
        if (pcm_ != nullptr) snd_pcm_close(pcm_);
        pcm_ = nullptr;
        state_ = TOutputState::Closed;
    }

    TOutputState State() const override { return state_; }

    long TakeBack(long frames) override {
        if (pcm_ == nullptr || state_ == TOutputState::Failed || frames <= 0) return 0;
        const snd_pcm_sframes_t can = snd_pcm_rewindable(pcm_);
        if (can <= 0) return 0;
        const snd_pcm_sframes_t taken = snd_pcm_rewind(pcm_, snd_pcm_uframes_t(std::min<long>(frames, can)));
        return taken > 0 ? long(taken) : 0;
    }

    // Less sound than the start threshold would wait for more forever; the
    // end of a stream has to be heard too.
    void Finish() override {
        if (pcm_ == nullptr || state_ != TOutputState::Playing) return;
        if (snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED && Delay() > 0) snd_pcm_start(pcm_);
    }

    long Delay() const override {
        if (pcm_ == nullptr || state_ == TOutputState::Failed) return 0;
        snd_pcm_sframes_t delay = 0;
        if (snd_pcm_delay(pcm_, &delay) < 0 || delay <= 0) return 0;
        return long(delay);
    }

    TAudioFormat Format() const override { return format_; }
    std::string Error() const override { return error_; }

    void Interrupt() override { eventfd_write(wakeFd_, 1); }

private:
    // Brings the device back after an underrun or a suspend; false, with the
    // output failed, when it cannot be.
    bool Recover(int err) {
        if (err == -EPIPE) {
            err = snd_pcm_prepare(pcm_);
        } else if (err == -ESTRPIPE) {
            err = snd_pcm_resume(pcm_);
            // Still waking up: the next attempt tries again.
            if (err == -EAGAIN) return true;
            if (err < 0) err = snd_pcm_prepare(pcm_);
        } else if (err == -EINTR) {
            err = 0;
        }
        if (err < 0) {
            state_ = TOutputState::Failed;
            error_ = std::string("the sound device failed: ") + snd_strerror(err);
        }
        return err >= 0;
    }

    // The device starts by itself once a period is buffered: sooner, a busy
    // machine would make it run dry at once; later, a short sound would wait.
    void StartAfterAPeriod() {
        snd_pcm_uframes_t buffer = 0, period = 0;
        snd_pcm_sw_params_t* params = nullptr;
        snd_pcm_sw_params_alloca(&params);
        if (snd_pcm_get_params(pcm_, &buffer, &period) < 0 || snd_pcm_sw_params_current(pcm_, params) < 0) return;
        if (snd_pcm_sw_params_set_start_threshold(pcm_, params, period) == 0) snd_pcm_sw_params(pcm_, params);
    }

    // True when the device may take more (or has something to report);
    // false when the time is up or Interrupt was called.
    bool WaitForRoom(TClock::time_point deadline) {
        const int count = state_ == TOutputState::Playing ? snd_pcm_poll_descriptors_count(pcm_) : 0;
        std::vector<pollfd> fds(std::size_t(1 + std::max(count, 0)));
        fds[0] = {wakeFd_, POLLIN, 0};
        const int deviceFds = count > 0 ? snd_pcm_poll_descriptors(pcm_, &fds[1], unsigned(count)) : 0;
        for (;;) {
            const TClock::duration left = deadline - TClock::now();
            if (left <= TClock::duration::zero()) return false;
            const auto leftMs = std::chrono::ceil<std::chrono::milliseconds>(left).count();
            const int ready = poll(fds.data(), nfds_t(1 + std::max(deviceFds, 0)),
                                   int(std::min<long long>(leftMs, 1 << 30)));
            if (ready < 0 && errno != EINTR) return false;
            if (fds[0].revents & POLLIN) {
                ClearInterrupt();
                return false;
            }
            if (ready <= 0 || deviceFds <= 0) continue;
            // Plugins (a sound server's among them) need to see their
            // descriptors' events to tell whether there is room.
            unsigned short events = 0;
            if (snd_pcm_poll_descriptors_revents(pcm_, &fds[1], unsigned(deviceFds), &events) < 0 ||
                (events & (POLLOUT | POLLERR)) != 0) {
                return true;
            }
        }
    }

    void ClearInterrupt() {
        eventfd_t ignored = 0;
        eventfd_read(wakeFd_, &ignored);
    }

    const std::string device_;
    const int wakeFd_;
    snd_pcm_t* pcm_ = nullptr;
    bool canPause_ = false;
    TOutputState state_ = TOutputState::Closed;
    TAudioFormat format_;
    std::string error_;
};

} // namespace

void SilenceAlsaErrors() {
    [[maybe_unused]] static const int installed = snd_lib_error_set_handler(&IgnoreAlsaError);
}

std::unique_ptr<TAudioOutput> MakeAlsaOutput(const std::string& device) {
    return std::make_unique<TAlsaOutput>(device);
}
