#include "platform/mediacontrol/mplayer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/audio/audiooutput.h"
#include "platform/audio/fade.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace {

// Short enough that a command reaches a write waiting for room at once even
// when the output misses an Interrupt.
constexpr int kWriteWaitMs = 50;
constexpr auto kDrainPoll = std::chrono::milliseconds(10);

uint32_t ErrorCode(int averror) { return uint32_t(-averror); }

// One file with its decoder, giving signed 16-bit stereo at the file's rate.
class TSource {
public:
    TSource() = default;
    TSource(const TSource&) = delete;
    TSource& operator=(const TSource&) = delete;

    ~TSource() {
        av_channel_layout_uninit(&inLayout_);
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        swr_free(&swr_);
        avcodec_free_context(&codec_);
        avformat_close_input(&format_);
    }

    // 0, or the FFmpeg error.
    int Open(const std::string& path) {
        // Failures go to LastError only; FFmpeg would print them as well.
        static std::once_flag quiet;
        std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
        int err = avformat_open_input(&format_, path.c_str(), nullptr, nullptr);
        if (err < 0 || (err = avformat_find_stream_info(format_, nullptr)) < 0) return err;
        const AVCodec* decoder = nullptr;
        stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
        if (stream_ < 0) return stream_;
        codec_ = avcodec_alloc_context3(decoder);
        packet_ = av_packet_alloc();
        frame_ = av_frame_alloc();
        if (!codec_ || !packet_ || !frame_) return AVERROR(ENOMEM);
        if ((err = avcodec_parameters_to_context(codec_, format_->streams[stream_]->codecpar)) < 0 ||
            (err = avcodec_open2(codec_, decoder, nullptr)) < 0) {
            return err;
        }
        if (codec_->sample_rate <= 0 || codec_->ch_layout.nb_channels <= 0) return AVERROR_INVALIDDATA;
        rate_ = codec_->sample_rate;

        // Positions count from the first sound, whatever its timestamp; some
        // decoders stamp their output with a packet's timestamp from ahead.
        held_ = Receive();
        // The stream information tells how the stream ends, not how it begins.
        if (held_) rate_ = FrameRate();
        if (held_ && frame_->best_effort_timestamp != AV_NOPTS_VALUE) origin_ = FrameAt(frame_->best_effort_timestamp);
        nextAt_ = origin_;
        return 0;
    }

    // The rate of the first sound, which all of it is played at.
    int Rate() const { return rate_; }

    uint32_t LengthMs() const {
        if (format_->duration > 0) return uint32_t((format_->duration + 500) / 1000);
        const AVStream* stream = format_->streams[stream_];
        if (stream->duration > 0) return uint32_t(av_rescale_q(stream->duration, stream->time_base, {1, 1000}));
        return 0;
    }

    // The next block of sound into `pcm`; false at the end of the stream or
    // when the decoder cannot go on.
    bool Decode(std::vector<int16_t>& pcm) {
        for (;;) {
            if (!held_ && !Receive()) return false;
            held_ = false;
            const bool got = Convert(pcm);
            av_frame_unref(frame_);
            if (got) return true;
        }
    }

    // Decoding goes on from `frame` (frames since the first sound); 0 or the
    // FFmpeg error.
    int Seek(int64_t frame) {
        const AVStream* stream = format_->streams[stream_];
        // Timestamps run ahead of the sound by up to origin_ (a decoder's lag),
        // so this lands early enough; what comes before the target is dropped.
        const int err =
            av_seek_frame(format_, stream_, av_rescale_q(frame, {1, Rate()}, stream->time_base), AVSEEK_FLAG_BACKWARD);
        if (err < 0) return err;
        avcodec_flush_buffers(codec_);
        av_frame_unref(frame_);
        held_ = false;
        skipTo_ = nextAt_ = origin_ + frame;
        return 0;
    }

private:
    // The next decoded frame into frame_; false at the end.
    bool Receive() {
        for (;;) {
            const int err = avcodec_receive_frame(codec_, frame_);
            if (err != AVERROR(EAGAIN)) return err == 0;
            // An unreadable rest of the file ends the stream like its end does.
            if (av_read_frame(format_, packet_) < 0) {
                avcodec_send_packet(codec_, nullptr);
                continue;
            }
            // A damaged packet is left out and decoding goes on.
            if (packet_->stream_index == stream_) avcodec_send_packet(codec_, packet_);
            av_packet_unref(packet_);
        }
    }

    // The rate of the frame just received. MPEG audio decoders stamp a
    // frame with the rate of the one before; their own rate is right.
    int FrameRate() const { return codec_->sample_rate > 0 ? codec_->sample_rate : frame_->sample_rate; }

    int64_t FrameAt(int64_t timestamp) const {
        return av_rescale_q(timestamp, format_->streams[stream_]->time_base, {1, Rate()});
    }

    // False when the whole frame lies before the seek target.
    bool Convert(std::vector<int16_t>& pcm) {
        // Frames of a packet after its first carry no timestamp of their own.
        const int64_t at =
            frame_->best_effort_timestamp != AV_NOPTS_VALUE ? FrameAt(frame_->best_effort_timestamp) : nextAt_;
        pcm.clear();
        if (!FollowFormat(pcm)) return false;
        const int count = frame_->nb_samples;
        const int room = swr_get_out_samples(swr_, count);
        if (room < 0) return false;
        Resample(pcm, frame_->extended_data, count, room);
        const int64_t frames = int64_t(pcm.size() / 2);
        nextAt_ = at + frames;
        if (!skipTo_) return frames > 0;
        // Seeking lands on a packet at or before the target; what comes
        // before the target is decoded and thrown away.
        const int64_t drop = std::clamp<int64_t>(*skipTo_ - at, 0, frames);
        if (drop == frames) return false;
        skipTo_.reset();
        pcm.erase(pcm.begin(), pcm.begin() + drop * 2);
        return true;
    }

    // Appends up to `room` frames made of `count` input samples (none: what
    // the resampler still holds).
    void Resample(std::vector<int16_t>& pcm, const uint8_t* const* input, int count, int room) {
        const std::size_t at = pcm.size();
        pcm.resize(at + std::size_t(room) * 2);
        uint8_t* out = reinterpret_cast<uint8_t*>(pcm.data() + at);
        const int got = swr_convert(swr_, &out, room, const_cast<const uint8_t**>(input), count);
        pcm.resize(at + std::size_t(std::max(got, 0)) * 2);
    }

    // A stream may change its rate, sample format or channels half way
    // (streams joined from two encodings): the resampler is set up anew for
    // each such frame, to the rate of the first.
    bool FollowFormat(std::vector<int16_t>& pcm) {
        AVChannelLayout layout{};
        if (frame_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame_->ch_layout.nb_channels <= 0) {
            av_channel_layout_default(&layout, frame_->ch_layout.nb_channels > 0 ? frame_->ch_layout.nb_channels
                                                                                : codec_->ch_layout.nb_channels);
        } else {
            av_channel_layout_copy(&layout, &frame_->ch_layout);
        }
        const int rate = FrameRate();
        if (swr_ && rate == inRate_ && frame_->format == inFormat_ &&
            av_channel_layout_compare(&layout, &inLayout_) == 0) {
            av_channel_layout_uninit(&layout);
            return true;
        }
        if (swr_) Resample(pcm, nullptr, 0, std::max(swr_get_out_samples(swr_, 0), 0));
        swr_free(&swr_);
        av_channel_layout_uninit(&inLayout_);
        inLayout_ = layout;
        inRate_ = rate;
        inFormat_ = frame_->format;
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        if (swr_alloc_set_opts2(&swr_, &stereo, AV_SAMPLE_FMT_S16, rate_, &inLayout_, AVSampleFormat(inFormat_),
                                inRate_, 0, nullptr) < 0) {
            return false;
        }
        // Mono goes to both sides at full level, as the MPEG decoder plays
        // it; the resampler's own matrix would make it 3 dB quieter.
        static const double kMonoToStereo[] = {1.0, 1.0};
        if (inLayout_.nb_channels == 1) swr_set_matrix(swr_, kMonoToStereo, 1);
        if (swr_init(swr_) < 0) {
            swr_free(&swr_);
            return false;
        }
        return true;
    }

    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    SwrContext* swr_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    int stream_ = -1;
    int rate_ = 0;
    // What swr_ was set up for.
    int inRate_ = 0;
    int inFormat_ = -1;
    AVChannelLayout inLayout_{};
    bool held_ = false;     // frame_ holds the next frame to give
    int64_t origin_ = 0;    // the timestamp of the first sound, in frames
    int64_t nextAt_ = 0;    // where the sound after the last frame belongs, in frames
    std::optional<int64_t> skipTo_;  // by timestamp, in frames
};

} // namespace

// The caller's side runs on the user-interface thread and posts requests
// under mutex_; the thread of the open file carries them out and publishes
// mode and position under the same mutex.
class TMPlayer::TEngine {
public:
    explicit TEngine(std::string outputSetting) : outputSetting_(std::move(outputSetting)) {}
    ~TEngine() { Close(); }

    std::string fileName;

    bool Opened() const { return source_ != nullptr; }

    void Open() {
        Close();
        error_ = 0;
        auto source = std::make_unique<TSource>();
        if (const int err = source->Open(fileName); err < 0) {
            error_ = ErrorCode(err);
            return;
        }
        output_ = OpenOutput(TAudioFormat{source->Rate(), 2});
        if (!output_) {
            error_ = ErrorCode(AVERROR(EIO));
            return;
        }
        source_ = std::move(source);
        rate_ = source_->Rate();
        lengthMs_ = source_->LengthMs();
        mode_ = applied_ = Stopped;
        seekMs_.reset();
        requested_ = handled_ = 0;
        quit_ = false;
        positionMs_ = 0;
        pcm_.clear();
        pcmAt_ = 0;
        origin_ = written_ = 0;
        decoded_ = false;
        tail_.Clear();
        fadeIn_ = false;
        devicePaused_ = false;
        thread_ = std::thread([this] { Run(); });
    }

    void Close() {
        if (!Opened()) return;
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        wake_.notify_one();
        output_->Interrupt();
        thread_.join();
        output_->Close();
        output_.reset();
        source_.reset();
    }

    void Play() {
        if (!Opened()) return;
        // Auto-rewind: a file played to its end starts again from the beginning.
        if (Mode() != Playing && Position() == Length()) Seek(0);
        Post(false, [this] { mode_ = Playing; });
    }

    bool Pause() {
        if (Mode() != Playing) return false;
        Post(true, [this] { mode_ = Paused; });
        return true;
    }

    void Stop() {
        if (Opened()) Post(true, [this] { mode_ = Stopped; });
    }

    void Seek(uint32_t ms) {
        if (!Opened()) return;
        Post(true, [this, ms] {
            mode_ = Stopped;
            seekMs_ = std::min(ms, lengthMs_);
        });
    }

    uint32_t Length() const { return Opened() ? lengthMs_ : 0; }

    uint32_t Position() const {
        if (!Opened()) return 0;
        std::lock_guard lock(mutex_);
        return positionMs_;
    }

    int Mode() const {
        if (!Opened()) return NotReady;
        std::lock_guard lock(mutex_);
        return mode_;
    }

    uint32_t LastError() const {
        std::lock_guard lock(mutex_);
        return error_;
    }

private:
    enum class TStep { Busy, Draining, Ended, Failed };

    // A sound device that cannot be opened is stood in for by null; it is
    // tried again at the next file, and at the next play after it failed.
    std::unique_ptr<TAudioOutput> OpenOutput(const TAudioFormat& format) const {
        std::string why;
        auto output = MakeAudioOutput(outputSetting_, why);
        if (output && output->Open(format)) return output;
        if (!IsSoundDevice(outputSetting_)) return nullptr;
        output = MakeAudioOutput("null", why);
        return output && output->Open(format) ? std::move(output) : nullptr;
    }

    // Changes the request under the lock and, when `wait`, returns once the
    // engine has carried it out.
    template <typename F>
    void Post(bool wait, F change) {
        std::unique_lock lock(mutex_);
        error_ = 0;
        change();
        const uint64_t ticket = ++requested_;
        wake_.notify_one();
        output_->Interrupt();
        if (wait) done_.wait(lock, [&] { return handled_ >= ticket; });
    }

    // The engine thread from here on.

    void Run() {
        std::unique_lock lock(mutex_);
        const auto woken = [this] { return quit_ || requested_ != handled_; };
        while (!quit_) {
            Apply();
            handled_ = requested_;
            done_.notify_all();
            if (applied_ == Paused && !devicePaused_) {
                // Paused once the fade has been heard.
                if (output_->Delay() > 0) {
                    wake_.wait_for(lock, kDrainPoll, woken);
                    continue;
                }
                output_->Pause(true);
                devicePaused_ = true;
            }
            if (applied_ != Playing) {
                wake_.wait(lock, woken);
                continue;
            }
            lock.unlock();
            const TStep step = Step();
            const uint32_t heard = MsOf(HeardFrames());
            lock.lock();
            positionMs_ = heard;
            if (step == TStep::Failed) {
                error_ = ErrorCode(AVERROR(EIO));
                mode_ = applied_ = Stopped;
            } else if (step == TStep::Ended && !woken()) {
                mode_ = applied_ = Stopped;
                positionMs_ = lengthMs_;
            } else if (step == TStep::Draining) {
                wake_.wait_for(lock, kDrainPoll, woken);
            }
        }
    }

    // Follows the caller's request; called with the lock held.
    void Apply() {
        if (mode_ != applied_) {
            const bool playing = applied_ == Playing;
            if (playing) FadeOut(mode_ == Paused);
            if (mode_ == Stopped) {
                // Stopped while playing, the device plays out what it holds,
                // ending in the fade, and playing goes on after it. Stopped
                // while paused, what it still holds is dropped before it is
                // let go, so a device that pauses in hardware lets nothing
                // out; playing goes on from what was heard.
                const int64_t end = playing ? origin_ + written_ : HeardFrames();
                if (!playing) output_->Reset();
                Reposition(end);
                positionMs_ = MsOf(end);
            } else if (mode_ == Playing && output_->State() == TOutputState::Failed) {
                Reopen();
            }
            if (devicePaused_) output_->Pause(false);
            devicePaused_ = false;
            applied_ = mode_;
        }
        if (seekMs_) {
            Reposition((int64_t(*seekMs_) * rate_ + 500) / 1000);
            positionMs_ = *seekMs_;
            seekMs_.reset();
        }
    }

    void Reposition(int64_t frame) {
        if (const int err = source_->Seek(frame); err < 0) error_ = ErrorCode(err);
        pcm_.clear();
        pcmAt_ = 0;
        tail_.Clear();
        fadeIn_ = frame > 0;
        origin_ = frame;
        written_ = 0;
        decoded_ = false;
    }

    // The sound not yet heard ends in a fade; when it is to `resume`, what
    // follows the fade is kept, to fade in.
    void FadeOut(bool resume) {
        std::vector<int16_t> pending(pcm_.begin() + pcmAt_ * 2, pcm_.end());
        std::vector<int16_t> more;
        while (!decoded_ && long(pending.size() / 2) < FadeFrames(rate_)) {
            if (source_->Decode(more)) pending.insert(pending.end(), more.begin(), more.end());
            else decoded_ = true;
        }
        written_ += ::FadeOut(*output_, tail_, rate_, pending);
        pcm_ = std::move(pending);
        pcmAt_ = 0;
        if (!resume) return;
        FadeIn(pcm_.data(), long(pcm_.size() / 2), rate_);
        fadeIn_ = pcm_.empty();
    }

    void Reopen() {
        auto output = OpenOutput(TAudioFormat{rate_, 2});
        if (!output) return;
        output_->Close();
        output_ = std::move(output);
        tail_.Clear();
    }

    TStep Step() {
        const long pending = long(pcm_.size() / 2) - pcmAt_;
        if (pending > 0) {
            const int16_t* next = pcm_.data() + pcmAt_ * 2;
            const long taken = output_->Write(next, pending, kWriteWaitMs);
            if (taken < 0) return TStep::Failed;
            tail_.Add(next, taken);
            pcmAt_ += taken;
            written_ += taken;
            return TStep::Busy;
        }
        if (!decoded_) {
            pcmAt_ = 0;
            if (!source_->Decode(pcm_)) {
                pcm_.clear();
                decoded_ = true;
            } else if (fadeIn_) {
                FadeIn(pcm_.data(), long(pcm_.size() / 2), rate_);
                fadeIn_ = false;
            }
            return TStep::Busy;
        }
        output_->Finish();
        return output_->Delay() > 0 ? TStep::Draining : TStep::Ended;
    }

    int64_t HeardFrames() const { return origin_ + std::max<int64_t>(0, written_ - output_->Delay()); }

    uint32_t MsOf(int64_t frames) const {
        return uint32_t(std::min<int64_t>(lengthMs_, (frames * 1000 + rate_ / 2) / rate_));
    }

    const std::string outputSetting_;
    // Set by Open and Close while no engine thread runs.
    std::unique_ptr<TSource> source_;
    std::unique_ptr<TAudioOutput> output_;
    int rate_ = 0;
    uint32_t lengthMs_ = 0;
    std::thread thread_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;  // to the engine
    std::condition_variable done_;  // to the caller
    int mode_ = Stopped;            // requested, or Stopped by the engine at the end
    std::optional<uint32_t> seekMs_;
    uint64_t requested_ = 0;
    uint64_t handled_ = 0;
    bool quit_ = false;
    uint32_t positionMs_ = 0;
    uint32_t error_ = 0;

    // Engine thread only (and Open).
    int applied_ = Stopped;
    std::vector<int16_t> pcm_;
    long pcmAt_ = 0;       // frames of pcm_ already written
    int64_t origin_ = 0;   // frame where playing last started from a seek
    int64_t written_ = 0;  // frames written since origin_
    bool decoded_ = false;
    TSoundTail tail_;
    bool fadeIn_ = false;  // the next sound decoded resumes after a cut
    bool devicePaused_ = false;
};

TMPlayer::TMPlayer(std::string outputSetting) : engine_(std::make_unique<TEngine>(std::move(outputSetting))) {}
TMPlayer::~TMPlayer() = default;

void TMPlayer::SetFileName(const std::string& fileName) { engine_->fileName = fileName; }
void TMPlayer::Open() { engine_->Open(); }
void TMPlayer::Close() { engine_->Close(); }
void TMPlayer::Play() { engine_->Play(); }
bool TMPlayer::Pause() { return engine_->Pause(); }
void TMPlayer::Stop() { engine_->Stop(); }
void TMPlayer::Seek(uint32_t position) { engine_->Seek(position); }
void TMPlayer::Rewind() { engine_->Seek(0); }
uint32_t TMPlayer::Length() { return engine_->Length(); }
uint32_t TMPlayer::Position() { return engine_->Position(); }
int TMPlayer::Mode() { return engine_->Mode(); }
bool TMPlayer::Opened() const { return engine_->Opened(); }
uint32_t TMPlayer::LastError() const { return engine_->LastError(); }
