#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/audiooutput.h"
#include "platform/audio/fade.h"
#include "platform/decoder/decoderplayer.h"
#include "platform/decoder/notice.h"

struct mpg123_handle_struct;

struct TModuleInfo {
    const char* name;
    const char* description;
};

// Everything the player's thread owns: the input, the output and the settings.
class TDecoderEngine {
public:
    static constexpr long kChunkFrames = 1152;
    static constexpr char kDefaultOutput[] = "alsa";

    explicit TDecoderEngine(TDecoderPlayer& owner);
    ~TDecoderEngine();

    bool Exited() const { return exited_; }
    // How long the thread may wait for the next message: 0 not at all,
    // -1 as long as it takes.
    int WaitHint() const;
    void Handle(const TControlMessage& message);
    void Step();
    void PostReady() { Post(NewNotice(XA_MSG_NOTIFY_READY), 0); }

private:
    // Notices.
    std::unique_ptr<XA_Notice> NewNotice(int code) const;
    // `maskBit` 0 for answers, which always come.
    void Post(std::unique_ptr<XA_Notice> notice, uint32_t maskBit);
    void Ack(int command);
    void Nack(int command, int code);
    void Error(int source, int code, const std::string& text);
    void Debug(const std::string& text);
    void PostState();
    void SetState(int state);
    void PostPosition(bool force);
    void PostTimecode(int64_t frame);
    void PostStreamInfo();
    void PostModuleInfo(int code, int id, const TModuleInfo& info, int devices);
    void PostVolume();
    void PostText(int code, const std::string& text, uint32_t maskBit);
    void PostNumber(int code, uint32_t value);

    // Input.
    void Open(const std::string& name);
    void CloseInput();
    bool SeekTo(int64_t frame, bool drop);
    int64_t HeardFrame() const;
    bool DecodeChunk(std::vector<int16_t>& into);
    long PendingFrames() const { return long(pending_.size() / 2) - pendingAt_; }
    void Convert(int16_t* samples, long frames) const;
    void ApplyEqualizer();

    // Playback.
    void Play();
    void Pause();
    void Stop();
    void Seek(uint32_t offset, uint32_t range);
    void FadeOut(bool resume);

    // Output.
    void SetOutput(std::unique_ptr<TAudioOutput> output);
    bool OpenOutput(const std::string& setting);
    void RetryDevice(const TAudioFormat& format);
    bool EnsureOutputFormat();
    void OutputFailed();
    void Drain();

    void HandleSetting(const TControlMessage& message);

    TDecoderPlayer& owner_;
    bool exited_ = false;

    mpg123_handle_struct* handle_ = nullptr;
    std::string inputName_;
    long rate_ = 44100;
    int64_t length_ = 0;  // frames
    std::vector<int16_t> chunk_ = std::vector<int16_t>(kChunkFrames * 2);
    // Decoded and not yet handed over: pending_ from frame pendingAt_ on.
    std::vector<int16_t> pending_;
    long pendingAt_ = 0;
    TSoundTail tail_;
    bool fadeIn_ = false;  // the next sound decoded resumes after a cut
    // Paused, the device plays out the fade before it is paused itself.
    bool devicePaused_ = false;
    int64_t writtenFrame_ = 0;  // input frame just after the last one handed to the output
    bool inputDone_ = false;
    int drainedMs_ = 0;
    int state_ = XA_PLAYER_STATE_STOPPED;
    int64_t lastPositionFrame_ = -1;
    int64_t lastTimecode_ = -1;

    std::unique_ptr<TAudioOutput> output_;
    std::string outputSetting_ = kDefaultOutput;
    // The sound device that could not be opened while null stands in for
    // it, and whether to try it again at the next play.
    std::unique_ptr<TAudioOutput> device_;
    bool retryDevice_ = false;

    uint32_t range_ = XA_DEFAULT_POSITION_RANGE;
    uint32_t granularity_ = XA_DEFAULT_TIMECODE_GRANULARITY;
    uint32_t mask_ = 0xffffffff;
    int channels_ = XA_OUTPUT_CHANNELS_STEREO;
    uint8_t master_ = 100, pcm_ = 100, balance_ = 50;
    bool muted_ = false;
    int playerMode_ = 0;
    uint8_t ports_ = 0;
    uint8_t quality_ = 0;
    uint8_t debugLevel_ = 0;
    XA_EqualizerInfo equalizer_{};
    std::map<std::string, int32_t> integers_;
    std::map<std::string, std::string> strings_;
};
