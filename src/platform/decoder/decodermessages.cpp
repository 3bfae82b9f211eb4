#include "platform/decoder/decoderengine.h"

#include <algorithm>

#include "platform/audio/audiooutput.h"

namespace {

constexpr TModuleInfo kInputModule = {"mpg123", "MPEG audio layers I, II and III"};
constexpr TModuleInfo kInputDevice = {"file", "local files"};

const char* OutputDescription(const std::string& name) {
    if (name == "alsa") return "the default ALSA device";
    if (name == "null") return "plays nothing, in real time";
    return "writes a WAV file";
}

} // namespace

// ---- messages ------------------------------------------------------------------

void TDecoderEngine::Handle(const TControlMessage& m) {
    switch (m.code) {
    case XA_MSG_COMMAND_EXIT:
        if (handle_) Stop();
        CloseInput();
        SetOutput(nullptr);
        exited_ = true;
        Post(NewNotice(XA_MSG_NOTIFY_EXITED), 0);
        return;
    case XA_MSG_COMMAND_PING: {
        auto notice = NewNotice(XA_MSG_NOTIFY_PONG);
        notice->message.data.tag = uint32_t(m.values[0]);
        Post(std::move(notice), 0);
        return;
    }
    case XA_MSG_COMMAND_PLAY: Play(); return;
    case XA_MSG_COMMAND_PAUSE: Pause(); return;
    case XA_MSG_COMMAND_STOP: Stop(); return;
    case XA_MSG_COMMAND_SEEK: Seek(uint32_t(m.values[0]), uint32_t(m.values[1])); return;
    case XA_MSG_COMMAND_INPUT_OPEN:
    case XA_MSG_SET_INPUT_NAME: Open(m.texts[0]); return;
    case XA_MSG_COMMAND_INPUT_CLOSE:
        if (handle_) Stop();
        CloseInput();
        return;
    case XA_MSG_COMMAND_OUTPUT_OPEN:
        if (OpenOutput(m.texts[0].empty() ? kDefaultOutput : m.texts[0])) return;
        Nack(m.code, XA_ERROR_OUTPUT_OPEN_FAILED);
        return;
    case XA_MSG_COMMAND_OUTPUT_CLOSE:
        if (state_ == XA_PLAYER_STATE_PLAYING || state_ == XA_PLAYER_STATE_PAUSED) Stop();
        SetOutput(nullptr);
        device_.reset();
        PostNumber(XA_MSG_NOTIFY_OUTPUT_STATE, XA_OUTPUT_STATE_CLOSED);
        return;
    case XA_MSG_COMMAND_OUTPUT_RESET:
        if (output_) output_->Reset();
        Ack(m.code);
        return;
    case XA_MSG_COMMAND_OUTPUT_DRAIN:
        Drain();
        Ack(m.code);
        return;
    default: HandleSetting(m); return;
    }
}

void TDecoderEngine::HandleSetting(const TControlMessage& m) {
    const uint32_t value = uint32_t(m.values[0]);
    switch (m.code) {
    case XA_MSG_COMMAND_OUTPUT_MUTE:
    case XA_MSG_COMMAND_OUTPUT_UNMUTE:
        muted_ = m.code == XA_MSG_COMMAND_OUTPUT_MUTE;
        Ack(m.code);
        return;
    case XA_MSG_COMMAND_INPUT_FILTERS_LIST:
    case XA_MSG_COMMAND_OUTPUT_FILTERS_LIST:  // there are no filters to list
        Ack(m.code);
        return;
    case XA_MSG_COMMAND_INPUT_MODULE_REGISTER:
        if (m.texts[0] == kInputModule.name) Ack(m.code);
        else Nack(m.code, XA_ERROR_NO_SUCH_MODULE);
        return;
    case XA_MSG_COMMAND_OUTPUT_MODULE_REGISTER:
        if (AudioOutputModuleId(m.texts[0]) >= 0 && m.texts[0].find_first_of(":?") == std::string::npos) Ack(m.code);
        else Nack(m.code, XA_ERROR_NO_SUCH_MODULE);
        return;
    case XA_MSG_COMMAND_INPUT_MODULE_QUERY:
    case XA_MSG_COMMAND_INPUT_MODULES_LIST:
        if (m.code == XA_MSG_COMMAND_INPUT_MODULE_QUERY && value != 0) {
            Nack(m.code, XA_ERROR_NO_SUCH_MODULE);
            return;
        }
        PostModuleInfo(XA_MSG_NOTIFY_INPUT_MODULE_INFO, 0, kInputModule, 1);
        if (m.code == XA_MSG_COMMAND_INPUT_MODULE_QUERY) {
            auto notice = NewNotice(XA_MSG_NOTIFY_INPUT_DEVICE_INFO);
            notice->texts[0] = kInputDevice.name;
            notice->texts[1] = kInputDevice.description;
            notice->message.data.device_info = {0, 0, 0, notice->texts[0].c_str(), notice->texts[1].c_str()};
            Post(std::move(notice), 0);
        }
        return;
    case XA_MSG_COMMAND_OUTPUT_MODULE_QUERY:
    case XA_MSG_COMMAND_OUTPUT_MODULES_LIST:
        if (m.code == XA_MSG_COMMAND_OUTPUT_MODULE_QUERY && value >= uint32_t(AudioOutputModuleCount())) {
            Nack(m.code, XA_ERROR_NO_SUCH_MODULE);
            return;
        }
        for (int id = 0; id < AudioOutputModuleCount(); ++id) {
            if (m.code == XA_MSG_COMMAND_OUTPUT_MODULE_QUERY && uint32_t(id) != value) continue;
            const char* name = AudioOutputModuleNames()[id];
            PostModuleInfo(XA_MSG_NOTIFY_OUTPUT_MODULE_INFO, id, {name, OutputDescription(name)}, 1);
        }
        return;
    case XA_MSG_SET_INPUT_MODULE:
        if (value != 0) {
            Nack(m.code, XA_ERROR_NO_SUCH_MODULE);
            return;
        }
        [[fallthrough]];
    case XA_MSG_GET_INPUT_MODULE: PostNumber(XA_MSG_NOTIFY_INPUT_MODULE, 0); return;
    case XA_MSG_SET_OUTPUT_MODULE: {
        // Only the modules that need no file name can be chosen by number.
        const bool known = value < uint32_t(AudioOutputModuleCount());
        const std::string name = known ? AudioOutputModuleNames()[value] : "";
        std::string error;
        if (!known || !MakeAudioOutput(name, error)) {
            Nack(m.code, XA_ERROR_NO_SUCH_MODULE);
            return;
        }
        if (output_ && !OpenOutput(name)) {
            Nack(m.code, XA_ERROR_OUTPUT_OPEN_FAILED);
            return;
        }
        outputSetting_ = name;
        PostNumber(XA_MSG_NOTIFY_OUTPUT_MODULE, value);
        return;
    }
    case XA_MSG_GET_OUTPUT_MODULE:
        PostNumber(XA_MSG_NOTIFY_OUTPUT_MODULE, uint32_t(AudioOutputModuleId(outputSetting_)));
        return;
    case XA_MSG_SET_OUTPUT_NAME: outputSetting_ = m.texts[0]; [[fallthrough]];
    case XA_MSG_GET_OUTPUT_NAME: PostText(XA_MSG_NOTIFY_OUTPUT_NAME, outputSetting_, 0); return;
    case XA_MSG_GET_INPUT_NAME: PostText(XA_MSG_NOTIFY_INPUT_NAME, inputName_, 0); return;
    case XA_MSG_SET_PLAYER_MODE: playerMode_ = m.values[0]; [[fallthrough]];
    case XA_MSG_GET_PLAYER_MODE: PostNumber(XA_MSG_NOTIFY_PLAYER_MODE, uint32_t(playerMode_)); return;
    case XA_MSG_SET_PLAYER_ENVIRONMENT_INTEGER: integers_[m.texts[0]] = m.values[0]; [[fallthrough]];
    case XA_MSG_GET_PLAYER_ENVIRONMENT_INTEGER: {
        const auto found = integers_.find(m.texts[0]);
        if (found == integers_.end()) {
            Nack(m.code, XA_ERROR_NO_SUCH_VALUE);
            return;
        }
        auto notice = NewNotice(XA_MSG_NOTIFY_PLAYER_ENVIRONMENT_INTEGER);
        notice->texts[0] = found->first;
        notice->message.data.environment_integer = {notice->texts[0].c_str(), found->second};
        Post(std::move(notice), 0);
        return;
    }
    case XA_MSG_SET_PLAYER_ENVIRONMENT_STRING: strings_[m.texts[0]] = m.texts[1]; [[fallthrough]];
    case XA_MSG_GET_PLAYER_ENVIRONMENT_STRING: {
        const auto found = strings_.find(m.texts[0]);
        if (found == strings_.end()) {
            Nack(m.code, XA_ERROR_NO_SUCH_VALUE);
            return;
        }
        auto notice = NewNotice(XA_MSG_NOTIFY_PLAYER_ENVIRONMENT_STRING);
        notice->texts[0] = found->first;
        notice->texts[1] = found->second;
        notice->message.data.environment_string = {notice->texts[0].c_str(), notice->texts[1].c_str()};
        Post(std::move(notice), 0);
        return;
    }
    case XA_MSG_UNSET_PLAYER_ENVIRONMENT:
        integers_.erase(m.texts[0]);
        strings_.erase(m.texts[0]);
        Ack(m.code);
        return;
    case XA_MSG_SET_INPUT_POSITION_RANGE:
    case XA_MSG_SET_INPUT_TIMECODE_GRANULARITY:
        if (value == 0) {
            Nack(m.code, XA_ERROR_INVALID_PARAMETERS);
            return;
        }
        if (m.code == XA_MSG_SET_INPUT_POSITION_RANGE) {
            range_ = value;
            PostNumber(XA_MSG_NOTIFY_INPUT_POSITION_RANGE, value);
        } else {
            granularity_ = value;
            PostNumber(XA_MSG_NOTIFY_INPUT_TIMECODE_GRANULARITY, value);
        }
        return;
    case XA_MSG_GET_INPUT_POSITION_RANGE: PostNumber(XA_MSG_NOTIFY_INPUT_POSITION_RANGE, range_); return;
    case XA_MSG_GET_INPUT_TIMECODE_GRANULARITY:
        PostNumber(XA_MSG_NOTIFY_INPUT_TIMECODE_GRANULARITY, granularity_);
        return;
    case XA_MSG_SET_OUTPUT_VOLUME:
        master_ = uint8_t(std::clamp(m.values[0], 0, 100));
        pcm_ = uint8_t(std::clamp(m.values[1], 0, 100));
        balance_ = uint8_t(std::clamp(m.values[2], 0, 100));
        [[fallthrough]];
    case XA_MSG_GET_OUTPUT_VOLUME: PostVolume(); return;
    case XA_MSG_SET_OUTPUT_CHANNELS:
        if (value > XA_OUTPUT_CHANNELS_MONO_MIX) {
            Nack(m.code, XA_ERROR_INVALID_PARAMETERS);
            return;
        }
        channels_ = int(value);
        [[fallthrough]];
    case XA_MSG_GET_OUTPUT_CHANNELS: PostNumber(XA_MSG_NOTIFY_OUTPUT_CHANNELS, uint32_t(channels_)); return;
    case XA_MSG_SET_OUTPUT_PORTS: ports_ = uint8_t(value); [[fallthrough]];
    case XA_MSG_GET_OUTPUT_PORTS: PostNumber(XA_MSG_NOTIFY_OUTPUT_PORTS, ports_); return;
    case XA_MSG_SET_CODEC_QUALITY: quality_ = uint8_t(value); [[fallthrough]];
    case XA_MSG_GET_CODEC_QUALITY: PostNumber(XA_MSG_NOTIFY_CODEC_QUALITY, quality_); return;
    case XA_MSG_SET_CODEC_EQUALIZER:
        equalizer_ = m.hasEqualizer ? m.equalizer : XA_EqualizerInfo{};
        ApplyEqualizer();
        [[fallthrough]];
    case XA_MSG_GET_CODEC_EQUALIZER: {
        auto notice = NewNotice(XA_MSG_NOTIFY_CODEC_EQUALIZER);
        notice->equalizer = equalizer_;
        notice->message.data.equalizer = &notice->equalizer;
        Post(std::move(notice), 0);
        return;
    }
    case XA_MSG_SET_NOTIFICATION_MASK: mask_ = value; [[fallthrough]];
    case XA_MSG_GET_NOTIFICATION_MASK: PostNumber(XA_MSG_NOTIFY_NOTIFICATION_MASK, mask_); return;
    case XA_MSG_SET_DEBUG_LEVEL: debugLevel_ = uint8_t(value); [[fallthrough]];
    case XA_MSG_GET_DEBUG_LEVEL: PostNumber(XA_MSG_NOTIFY_DEBUG_LEVEL, debugLevel_); return;
    default:  // messages to modules and filters: none is understood
        Nack(m.code, XA_ERROR_NOT_SUPPORTED);
        return;
    }
}

