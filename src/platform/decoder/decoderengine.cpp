#include "platform/decoder/decoderengine.h"

#include <mpg123.h>

#include <algorithm>
#include <mutex>

namespace {

constexpr int kWriteWaitMs = 50;
constexpr int kDrainPollMs = 20;
constexpr int kDrainLimitMs = 5000;

void InitialiseLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

} // namespace

TDecoderEngine::TDecoderEngine(TDecoderPlayer& owner) : owner_(owner) {}

TDecoderEngine::~TDecoderEngine() {
    CloseInput();
    SetOutput(nullptr);
}

// ---- notices ---------------------------------------------------------------

std::unique_ptr<XA_Notice> TDecoderEngine::NewNotice(int code) const {
    auto notice = std::make_unique<XA_Notice>();
    notice->message.code = code;
    return notice;
}

void TDecoderEngine::Post(std::unique_ptr<XA_Notice> notice, uint32_t maskBit) {
    if (maskBit != 0 && !(mask_ & maskBit)) return;
    owner_.target_.callback(owner_.target_.context, notice.release());
}

void TDecoderEngine::Ack(int command) {
    auto notice = NewNotice(XA_MSG_NOTIFY_ACK);
    notice->message.data.command = uint8_t(command);
    Post(std::move(notice), XA_NOTIFY_MASK_ACK);
}

void TDecoderEngine::Nack(int command, int code) {
    auto notice = NewNotice(XA_MSG_NOTIFY_NACK);
    notice->message.data.nack.command = uint8_t(command);
    notice->message.data.nack.code = int16_t(code);
    Post(std::move(notice), XA_NOTIFY_MASK_NACK);
}

void TDecoderEngine::Error(int source, int code, const std::string& text) {
    auto notice = NewNotice(XA_MSG_NOTIFY_ERROR);
    notice->texts[0] = text;
    notice->message.data.error = {uint8_t(source), int16_t(code), notice->texts[0].c_str()};
    Post(std::move(notice), XA_NOTIFY_MASK_ERROR);
}

void TDecoderEngine::Debug(const std::string& text) {
    if (debugLevel_ == 0) return;
    auto notice = NewNotice(XA_MSG_NOTIFY_DEBUG);
    notice->texts[0] = text;
    notice->message.data.debug = {XA_SOURCE_PLAYER, 1, notice->texts[0].c_str()};
    Post(std::move(notice), XA_NOTIFY_MASK_DEBUG);
}

void TDecoderEngine::PostState() {
    auto notice = NewNotice(XA_MSG_NOTIFY_PLAYER_STATE);
    notice->message.data.state = uint8_t(state_);
    Post(std::move(notice), XA_NOTIFY_MASK_PLAYER_STATE);
}

void TDecoderEngine::SetState(int state) {
    if (state_ == state) return;
    state_ = state;
    PostState();
}

void TDecoderEngine::PostPosition(bool force) {
    if (!handle_) return;
    const int64_t frame = HeardFrame();
    // About four notices a second of sound.
    if (!force && lastPositionFrame_ >= 0 && frame >= lastPositionFrame_ && frame - lastPositionFrame_ < rate_ / 4)
        return;
    lastPositionFrame_ = frame;
    auto notice = NewNotice(XA_MSG_NOTIFY_INPUT_POSITION);
    const uint64_t offset = length_ > 0 ? uint64_t(std::min(frame, length_)) * range_ / uint64_t(length_) : 0;
    notice->message.data.position = {uint32_t(offset), range_};
    Post(std::move(notice), XA_NOTIFY_MASK_INPUT_POSITION);
    PostTimecode(frame);
}

void TDecoderEngine::PostTimecode(int64_t frame) {
    const int64_t ms = frame * 1000 / rate_;
    const int64_t step = ms / granularity_;
    if (step == lastTimecode_) return;
    lastTimecode_ = step;
    auto notice = NewNotice(XA_MSG_NOTIFY_INPUT_TIMECODE);
    notice->message.data.timecode = {uint8_t(std::min<int64_t>(ms / 3600000, 255)), uint8_t(ms / 60000 % 60),
                                     uint8_t(ms / 1000 % 60), uint8_t(ms % 1000 / 10)};
    Post(std::move(notice), XA_NOTIFY_MASK_INPUT_TIMECODE);
}

void TDecoderEngine::PostStreamInfo() {
    mpg123_frameinfo2 info{};
    if (mpg123_info2(handle_, &info) != MPG123_OK) return;
    auto notice = NewNotice(XA_MSG_NOTIFY_INPUT_STREAM_INFO);
    notice->message.data.stream_info = {uint8_t(info.version), uint8_t(info.layer), uint16_t(info.bitrate),
                                        uint16_t(info.rate), uint8_t(info.mode)};
    Post(std::move(notice), XA_NOTIFY_MASK_INPUT_STREAM_INFO);
}

void TDecoderEngine::PostModuleInfo(int code, int id, const TModuleInfo& info, int devices) {
    auto notice = NewNotice(code);
    notice->texts[0] = info.name;
    notice->texts[1] = info.description;
    notice->message.data.module_info = {uint8_t(id), uint8_t(devices), notice->texts[0].c_str(),
                                        notice->texts[1].c_str()};
    Post(std::move(notice), 0);
}

void TDecoderEngine::PostVolume() {
    auto notice = NewNotice(XA_MSG_NOTIFY_OUTPUT_VOLUME);
    notice->message.data.volume = {master_, pcm_, balance_};
    Post(std::move(notice), 0);
}

void TDecoderEngine::PostText(int code, const std::string& text, uint32_t maskBit) {
    auto notice = NewNotice(code);
    notice->texts[0] = text;
    notice->message.data.name = notice->texts[0].c_str();
    Post(std::move(notice), maskBit);
}

// Answers whose one field is a number at the start of the data.
void TDecoderEngine::PostNumber(int code, uint32_t value) {
    auto notice = NewNotice(code);
    auto& data = notice->message.data;
    uint32_t maskBit = 0;
    switch (code) {
    case XA_MSG_NOTIFY_INPUT_STATE:
    case XA_MSG_NOTIFY_OUTPUT_STATE:
        data.state = uint8_t(value);
        maskBit = code == XA_MSG_NOTIFY_INPUT_STATE ? XA_NOTIFY_MASK_INPUT_STATE : XA_NOTIFY_MASK_OUTPUT_STATE;
        break;
    case XA_MSG_NOTIFY_INPUT_DURATION:
        data.duration = value;
        maskBit = XA_NOTIFY_MASK_INPUT_DURATION;
        break;
    case XA_MSG_NOTIFY_INPUT_MODULE:
    case XA_MSG_NOTIFY_OUTPUT_MODULE: data.module_id = int16_t(value); break;
    case XA_MSG_NOTIFY_OUTPUT_CHANNELS: data.channels = uint8_t(value); break;
    case XA_MSG_NOTIFY_OUTPUT_PORTS: data.ports = uint8_t(value); break;
    case XA_MSG_NOTIFY_CODEC_QUALITY: data.quality = uint8_t(value); break;
    case XA_MSG_NOTIFY_DEBUG_LEVEL: data.debug_level = uint8_t(value); break;
    case XA_MSG_NOTIFY_PLAYER_MODE: data.mode = int32_t(value); break;
    case XA_MSG_NOTIFY_INPUT_POSITION_RANGE: data.range = int32_t(value); break;
    case XA_MSG_NOTIFY_INPUT_TIMECODE_GRANULARITY: data.granularity = value; break;
    case XA_MSG_NOTIFY_NOTIFICATION_MASK: data.notification_mask = value; break;
    default: return;
    }
    Post(std::move(notice), maskBit);
}

// ---- input -------------------------------------------------------------------

void TDecoderEngine::Open(const std::string& name) {
    if (handle_) {
        Stop();
        CloseInput();
    }
    InitialiseLibrary();
    int error = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (!handle) {
        Error(XA_SOURCE_INPUT, XA_FAILURE, mpg123_plain_strerror(error));
        return;
    }
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_FORCE_STEREO, 0);
    // Damage in the middle of a file (a transfer gone wrong, a tag that
    // claims less than it holds) is skipped however long it is.
    mpg123_param(handle, MPG123_RESYNC_LIMIT, -1, 0);
    mpg123_format_none(handle);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i) mpg123_format(handle, rates[i], MPG123_STEREO, MPG123_ENC_SIGNED_16);

    int code = XA_SUCCESS;
    int channels = 0, encoding = 0;
    if (mpg123_open(handle, name.c_str()) != MPG123_OK) {
        code = XA_ERROR_OPEN_FAILED;
    } else if (mpg123_getformat(handle, &rate_, &channels, &encoding) != MPG123_OK) {
        code = XA_ERROR_NOT_MPEG_AUDIO;
    } else {
        // Streams joined from two encodings may change their rate half way;
        // the decoder resamples the rest to the rate the output was opened at.
        mpg123_format_none(handle);
        mpg123_format(handle, rate_, MPG123_STEREO, MPG123_ENC_SIGNED_16);
        if (mpg123_scan(handle) != MPG123_OK || (length_ = mpg123_length(handle)) <= 0) code = XA_ERROR_NOT_MPEG_AUDIO;
    }
    if (code != XA_SUCCESS) {
        const std::string reason = mpg123_strerror(handle);
        mpg123_delete(handle);
        length_ = 0;
        Error(XA_SOURCE_INPUT, code, name + ": " + reason);
        return;
    }
    handle_ = handle;
    inputName_ = name;
    ApplyEqualizer();
    writtenFrame_ = 0;
    pending_.clear();
    pendingAt_ = 0;
    tail_.Clear();
    fadeIn_ = false;
    inputDone_ = false;
    lastPositionFrame_ = lastTimecode_ = -1;
    retryDevice_ = true;
    Debug("opened " + name);
    PostNumber(XA_MSG_NOTIFY_INPUT_STATE, XA_INPUT_STATE_OPEN);
    PostText(XA_MSG_NOTIFY_INPUT_NAME, name, XA_NOTIFY_MASK_INPUT_NAME);
    PostStreamInfo();
    PostNumber(XA_MSG_NOTIFY_INPUT_DURATION, uint32_t(length_ / rate_));
    SetState(XA_PLAYER_STATE_STOPPED);
    PostPosition(true);
}

void TDecoderEngine::CloseInput() {
    if (!handle_) return;
    mpg123_delete(handle_);
    handle_ = nullptr;
    inputName_.clear();
    length_ = 0;
    PostNumber(XA_MSG_NOTIFY_INPUT_STATE, XA_INPUT_STATE_CLOSED);
}

// `drop`: what the output holds is not heard; otherwise it plays out first.
bool TDecoderEngine::SeekTo(int64_t frame, bool drop) {
    const off_t reached = mpg123_seek(handle_, off_t(frame), SEEK_SET);
    if (reached < 0) {
        Error(XA_SOURCE_INPUT, XA_ERROR_DECODE_FAILED, mpg123_strerror(handle_));
        return false;
    }
    if (output_ && drop) output_->Reset();
    writtenFrame_ = reached;
    pending_.clear();
    pendingAt_ = 0;
    tail_.Clear();
    fadeIn_ = reached > 0;
    inputDone_ = false;
    drainedMs_ = 0;
    return true;
}

int64_t TDecoderEngine::HeardFrame() const {
    const long delay = output_ && output_->State() != TOutputState::Closed ? output_->Delay() : 0;
    return std::max<int64_t>(0, writtenFrame_ - delay);
}

// Appends the next chunk to `into`; false at the end of the input.
bool TDecoderEngine::DecodeChunk(std::vector<int16_t>& into) {
    for (;;) {
        size_t bytes = 0;
        const int result =
            mpg123_read(handle_, reinterpret_cast<unsigned char*>(chunk_.data()), chunk_.size() * 2, &bytes);
        if (result == MPG123_NEW_FORMAT) {
            int channels = 0, encoding = 0;
            mpg123_getformat(handle_, &rate_, &channels, &encoding);
            if (!EnsureOutputFormat()) return false;
            continue;
        }
        if (result != MPG123_OK && result != MPG123_DONE) {
            Error(XA_SOURCE_CODEC, XA_ERROR_DECODE_FAILED, mpg123_strerror(handle_));
            return false;
        }
        const long frames = long(bytes / 4);
        if (frames > 0) {
            Convert(chunk_.data(), frames);
            into.insert(into.end(), chunk_.begin(), chunk_.begin() + 2 * frames);
            return true;
        }
        if (result == MPG123_DONE) return false;
    }
}

void TDecoderEngine::Convert(int16_t* samples, long frames) const {
    // Gains in 1/32768; the balance turns one side down from its middle.
    int32_t gain = muted_ ? 0 : int32_t(master_) * pcm_ * 32768 / 10000;
    const int32_t left = balance_ > 50 ? gain * (100 - balance_) / 50 : gain;
    const int32_t right = balance_ < 50 ? gain * balance_ / 50 : gain;
    for (long i = 0; i < frames; ++i) {
        int32_t l = samples[2 * i], r = samples[2 * i + 1];
        switch (channels_) {
        case XA_OUTPUT_CHANNELS_MONO_LEFT: r = l; break;
        case XA_OUTPUT_CHANNELS_MONO_RIGHT: l = r; break;
        case XA_OUTPUT_CHANNELS_MONO_MIX: l = r = (l + r) / 2; break;
        default: break;
        }
        samples[2 * i] = int16_t(left == 32768 ? l : l * left / 32768);
        samples[2 * i + 1] = int16_t(right == 32768 ? r : r * right / 32768);
    }
}

void TDecoderEngine::ApplyEqualizer() {
    if (!handle_) return;
    for (int band = 0; band < XA_EQUALIZER_BANDS; ++band) {
        mpg123_eq(handle_, MPG123_LEFT, band, 1.0 + equalizer_.left[band] / 128.0);
        mpg123_eq(handle_, MPG123_RIGHT, band, 1.0 + equalizer_.right[band] / 128.0);
    }
}

// ---- playback ----------------------------------------------------------------

void TDecoderEngine::Play() {
    if (!handle_) {
        Nack(XA_MSG_COMMAND_PLAY, XA_ERROR_NO_INPUT);
        return;
    }
    if (state_ == XA_PLAYER_STATE_PAUSED) {
        if (devicePaused_) output_->Pause(false);
    } else if (state_ != XA_PLAYER_STATE_PLAYING) {
        if (state_ == XA_PLAYER_STATE_EOS && !SeekTo(0, true)) return;
        if (!EnsureOutputFormat()) return;
    }
    devicePaused_ = false;
    SetState(XA_PLAYER_STATE_PLAYING);
}

void TDecoderEngine::Pause() {
    if (state_ != XA_PLAYER_STATE_PLAYING) return;
    FadeOut(true);
    devicePaused_ = false;
    SetState(XA_PLAYER_STATE_PAUSED);
    PostPosition(true);
}

// Stopped while playing, the device plays out what it holds, ending in the
// fade (a stop that follows does not cut it short); stopped while paused,
// what it still holds is dropped before it is let go, so a device that
// pauses in hardware lets nothing out.
void TDecoderEngine::Stop() {
    const bool paused = state_ == XA_PLAYER_STATE_PAUSED;
    if (state_ == XA_PLAYER_STATE_PLAYING) FadeOut(false);
    if (output_ && paused) output_->Reset();
    if (output_ && devicePaused_) output_->Pause(false);
    devicePaused_ = false;
    if (handle_) SeekTo(0, paused);
    SetState(XA_PLAYER_STATE_STOPPED);
    PostPosition(true);
}

void TDecoderEngine::Seek(uint32_t offset, uint32_t range) {
    if (!handle_) {
        Nack(XA_MSG_COMMAND_SEEK, XA_ERROR_NO_INPUT);
        return;
    }
    if (range == 0 || offset > range) {
        Nack(XA_MSG_COMMAND_SEEK, XA_ERROR_INVALID_PARAMETERS);
        return;
    }
    if (state_ == XA_PLAYER_STATE_PLAYING) FadeOut(false);
    if (!SeekTo(int64_t(uint64_t(offset) * uint64_t(length_) / range), state_ == XA_PLAYER_STATE_PAUSED)) return;
    // A finished input waits at the new place.
    if (state_ == XA_PLAYER_STATE_EOS) SetState(XA_PLAYER_STATE_STOPPED);
    PostPosition(true);
}

// The sound not yet heard ends in a fade; when it is to `resume`, what
// follows the fade is kept, to fade in.
void TDecoderEngine::FadeOut(bool resume) {
    pending_.erase(pending_.begin(), pending_.begin() + 2 * pendingAt_);
    pendingAt_ = 0;
    while (!inputDone_ && long(pending_.size() / 2) < FadeFrames(int(rate_))) {
        if (!DecodeChunk(pending_)) inputDone_ = true;
    }
    if (!output_) return;
    writtenFrame_ += ::FadeOut(*output_, tail_, int(rate_), pending_);
    if (!resume) return;
    FadeIn(pending_.data(), long(pending_.size() / 2), int(rate_));
    fadeIn_ = pending_.empty();
}

void TDecoderEngine::Step() {
    if (state_ == XA_PLAYER_STATE_PAUSED && !devicePaused_ && output_ && output_->Delay() == 0) {
        output_->Pause(true);
        devicePaused_ = true;
    }
    if (state_ != XA_PLAYER_STATE_PLAYING) return;
    if (PendingFrames() == 0 && !inputDone_) {
        pending_.clear();
        pendingAt_ = 0;
        if (!DecodeChunk(pending_)) {
            inputDone_ = true;
            drainedMs_ = 0;
        } else if (fadeIn_) {
            FadeIn(pending_.data(), PendingFrames(), int(rate_));
            fadeIn_ = false;
        }
        if (state_ != XA_PLAYER_STATE_PLAYING) return;
    }
    if (PendingFrames() > 0) {
        const int16_t* next = pending_.data() + 2 * pendingAt_;
        const long taken = output_->Write(next, PendingFrames(), kWriteWaitMs);
        if (taken < 0) {
            OutputFailed();
            return;
        }
        tail_.Add(next, taken);
        pendingAt_ += taken;
        writtenFrame_ += taken;
    } else if (inputDone_) {
        // The end is announced once the device has played what it holds, or
        // when it stops taking it off our hands.
        output_->Finish();
        drainedMs_ += kDrainPollMs;
        if (output_->Delay() > 0 && drainedMs_ < kDrainLimitMs) return;
        SetState(XA_PLAYER_STATE_EOS);
        PostPosition(true);
        return;
    }
    PostPosition(false);
}

int TDecoderEngine::WaitHint() const {
    if (state_ == XA_PLAYER_STATE_PAUSED && !devicePaused_ && output_) return kDrainPollMs;
    if (state_ != XA_PLAYER_STATE_PLAYING) return -1;
    return PendingFrames() == 0 && inputDone_ ? kDrainPollMs : 0;
}

// ---- output ------------------------------------------------------------------

void TDecoderEngine::SetOutput(std::unique_ptr<TAudioOutput> output) {
    std::unique_ptr<TAudioOutput> old;
    {
        std::lock_guard lock(owner_.mutex_);
        old = std::move(output_);
        output_ = std::move(output);
        owner_.waitingOutput_ = output_.get();
    }
    if (old) old->Close();
    tail_.Clear();
    devicePaused_ = false;
}

// Makes the module of `setting` and opens it for the input's format. While a
// sound device cannot be opened, null stands in for it; the error notice
// says so once, not again for each time it is tried anew.
bool TDecoderEngine::OpenOutput(const std::string& setting) {
    std::string error;
    auto output = MakeAudioOutput(setting, error);
    const TAudioFormat format{int(rate_), 2};
    if (output && !output->Open(format)) {
        if (!IsSoundDevice(setting)) {
            error = output->Error();
            output.reset();
        } else {
            if (!device_ || setting != outputSetting_) {
                Error(XA_SOURCE_OUTPUT, XA_ERROR_OUTPUT_OPEN_FAILED,
                      setting + ": " + output->Error() + "; playing to null");
            }
            device_ = std::move(output);
            output = MakeAudioOutput("null", error);
            output->Open(format);
        }
    } else if (output) {
        device_.reset();
    }
    if (!output) {
        Error(XA_SOURCE_OUTPUT, XA_ERROR_OUTPUT_OPEN_FAILED, error);
        return false;
    }
    retryDevice_ = false;
    outputSetting_ = setting;
    SetOutput(std::move(output));
    Debug("output " + setting);
    PostNumber(XA_MSG_NOTIFY_OUTPUT_STATE, XA_OUTPUT_STATE_OPEN);
    PostText(XA_MSG_NOTIFY_OUTPUT_NAME, setting, XA_NOTIFY_MASK_OUTPUT_NAME);
    return true;
}

// A device that was not ready (a sound server that starts late, a headset
// plugged in later) is tried again at each new input.
void TDecoderEngine::RetryDevice(const TAudioFormat& format) {
    if (!device_ || !retryDevice_) return;
    retryDevice_ = false;
    if (!device_->Open(format)) return;
    SetOutput(std::move(device_));
    Debug("output " + outputSetting_);
    PostNumber(XA_MSG_NOTIFY_OUTPUT_STATE, XA_OUTPUT_STATE_OPEN);
    PostText(XA_MSG_NOTIFY_OUTPUT_NAME, outputSetting_, XA_NOTIFY_MASK_OUTPUT_NAME);
}

bool TDecoderEngine::EnsureOutputFormat() {
    const TAudioFormat format{int(rate_), 2};
    RetryDevice(format);
    if (output_ && output_->State() != TOutputState::Failed && output_->State() != TOutputState::Closed &&
        output_->Format() == format)
        return true;
    if (output_ && output_->State() != TOutputState::Failed && output_->Open(format)) return true;
    if (OpenOutput(outputSetting_)) return true;
    SetState(XA_PLAYER_STATE_STOPPED);
    return false;
}

void TDecoderEngine::OutputFailed() {
    Error(XA_SOURCE_OUTPUT, XA_ERROR_OUTPUT_FAILED, output_->Error());
    SetOutput(nullptr);
    PostNumber(XA_MSG_NOTIFY_OUTPUT_STATE, XA_OUTPUT_STATE_CLOSED);
    pending_.clear();
    pendingAt_ = 0;
    SetState(XA_PLAYER_STATE_STOPPED);
}

// Paused, nothing drains until play resumes; a message that comes meanwhile
// ends the wait.
void TDecoderEngine::Drain() {
    if (state_ == XA_PLAYER_STATE_PAUSED) return;
    if (output_) output_->Finish();
    for (int waited = 0; output_ && output_->Delay() > 0 && waited < kDrainLimitMs; waited += kDrainPollMs) {
        if (owner_.WaitForMessage(kDrainPollMs)) return;
    }
}
