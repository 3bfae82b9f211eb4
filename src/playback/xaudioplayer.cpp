#include "playback/xaudioplayer.h"

#include <QFile>

#include "platform/mediacontrol/mediaplayer.h"
#include "ui/dialogs.h"

namespace {

constexpr int kExpectedMajor = 3;
constexpr int kExpectedMinor = 2;
constexpr int kPollInterval = 1000;

QString Text(const char* text) { return QString::fromUtf8(text ? text : ""); }

// The extension from the last "." of the file-name part, in lower case.
QString LowerExtension(const QString& fileName) {
    const int slash = fileName.lastIndexOf('/');
    const int dot = fileName.lastIndexOf('.');
    return dot > slash ? fileName.mid(dot).toLower() : QString();
}

} // namespace

TXaudioPlayer::TXaudioPlayer(TDialogs& dialogs, QObject* parent, std::unique_ptr<TMediaControl> mediaControl,
                             const XA_Library& library)
    : QObject(parent), library_(library), pollTimer_(new QTimer(this)), mediaControl_(std::move(mediaControl)) {
    const int version = library_.get_api_version(2);
    const int major = (version >> 16) & 0xff;
    const int minor = (version >> 8) & 0xff;
    if (major != kExpectedMajor || minor != kExpectedMinor) {
        dialogs.Error(nullptr, QStringLiteral("Xaudio DLL API Mismatch\rExpected ") + QString::number(kExpectedMajor) +
                                   "," + QString::number(kExpectedMinor) + "\rGot " + QString::number(major) + "," +
                                   QString::number(minor));
    }
    const XA_NotifyTarget target{&TXaudioPlayer::ReceiveNotice, this};
    if (library_.player_new(&decoderPlayer_, &target) != XA_SUCCESS) {
        decoderPlayer_ = nullptr;
        dialogs.Error(nullptr, QStringLiteral("Cannot Start Xaudio Player"));
    }
    pollTimer_->setInterval(kPollInterval);
    connect(pollTimer_, &QTimer::timeout, this, &TXaudioPlayer::Poll);
    if (!mediaControl_) mediaControl_ = MakeMediaPlayer();
}

TXaudioPlayer::~TXaudioPlayer() {
    mediaControl_.reset();
    // After this no notice comes; the ones still queued are dropped.
    if (decoderPlayer_) library_.player_delete(decoderPlayer_);
    for (XA_Notice* notice : notices_) library_.notice_free(notice);
}

quint32 TXaudioPlayer::Priority() const { return quint32(library_.player_get_priority(decoderPlayer_)); }

void TXaudioPlayer::SetPriority(quint32 priority) { library_.player_set_priority(decoderPlayer_, int(priority)); }

void TXaudioPlayer::ErrorString(int code, QString& text) const { text = Text(library_.error_string(code)); }

// ---- the engines -----------------------------------------------------------------

void TXaudioPlayer::InputOpen(const QString& fileName) {
    if (opened_) {
        Stop();
        InputClose();
    }
    opened_ = false;
    pollTimer_->stop();
    const QString extension = LowerExtension(fileName);
    if (extension == ".mp2" || extension == ".mp3") {
        library_.send_S(decoderPlayer_, XA_MSG_COMMAND_INPUT_OPEN, QFile::encodeName(fileName).constData());
        mediaType_ = mtMP3;
        opened_ = true;
    } else if (extension == ".wma") {
        mediaControl_->SetFileName(QFile::encodeName(fileName).toStdString());
        mediaControl_->Open();
        mediaType_ = mtWMA;
        opened_ = true;
    }
}

void TXaudioPlayer::InputClose() {
    opened_ = false;
    if (mediaType_ != mtMP3) return;
    library_.send_N(decoderPlayer_, XA_MSG_COMMAND_INPUT_CLOSE);
    // What the decoder still says of the closed input would arrive after
    // the states of the next one; its answer to this ping ends it.
    if (library_.send_I(decoderPlayer_, XA_MSG_COMMAND_PING, qint32(closingPing_ + 1)) == XA_SUCCESS) {
        closing_ = true;
        ++closingPing_;
    }
    RaiseState(XA_PLAYER_STATE_STOPPED);
}

void TXaudioPlayer::Exit() {
    if (mediaType_ == mtMP3) library_.send_N(decoderPlayer_, XA_MSG_COMMAND_EXIT);
}

void TXaudioPlayer::Play() {
    if (mediaType_ == mtMP3) {
        library_.send_N(decoderPlayer_, XA_MSG_COMMAND_PLAY);
    } else if (mediaType_ == mtWMA) {
        mediaControl_->Play();
        RaiseState(XA_PLAYER_STATE_PLAYING);
        pollTimer_->start();
    }
}

void TXaudioPlayer::Pause() {
    if (mediaType_ == mtMP3) {
        library_.send_N(decoderPlayer_, XA_MSG_COMMAND_PAUSE);
    } else if (mediaType_ == mtWMA && mediaControl_->Pause()) {
        RaiseState(XA_PLAYER_STATE_PAUSED);
        pollTimer_->stop();
    }
}

void TXaudioPlayer::Stop() {
    if (mediaType_ == mtMP3) {
        library_.send_N(decoderPlayer_, XA_MSG_COMMAND_STOP);
    } else if (mediaType_ == mtWMA) {
        mediaControl_->Stop();
        RaiseState(XA_PLAYER_STATE_STOPPED);
        pollTimer_->stop();
    }
}

// A seek moves the place and leaves playing, paused or stopped as it was, as
// the decoder does; a file that had ended waits, stopped, at the new place.
void TXaudioPlayer::InputSeek(quint32 offset) {
    if (mediaType_ == mtMP3) {
        library_.send_II(decoderPlayer_, XA_MSG_COMMAND_SEEK, qint32(offset), qint32(range_));
    } else if (mediaType_ == mtWMA) {
        mediaControl_->Stop();
        mediaControl_->Seek(offset);
        if (state_ == XA_PLAYER_STATE_PLAYING) {
            mediaControl_->Play();
        } else if (state_ == XA_PLAYER_STATE_EOS) {
            RaiseState(XA_PLAYER_STATE_STOPPED);
            pollTimer_->stop();
        }
    }
}

// Each state is told once, when it changes.
void TXaudioPlayer::RaiseState(int state) {
    if (state == state_) return;
    state_ = state;
    emit OnNotifyPlayerState(state);
}

// Windows Media files report no notices: their position is asked for once a
// second, and the end is near enough when less than 2 of the range remain.
void TXaudioPlayer::Poll() {
    if (mediaType_ != mtWMA) {
        pollTimer_->stop();
        return;
    }
    position_ = mediaControl_->Position();
    range_ = mediaControl_->Length();
    emit OnNotifyInputPosition(position_, range_);
    if (range_ - 2u <= position_) RaiseState(XA_PLAYER_STATE_EOS);
}

// ---- control messages ------------------------------------------------------------

int TXaudioPlayer::SendText(int code, const QString& text) {
    return library_.send_S(decoderPlayer_, code, text.toUtf8().constData());
}

int TXaudioPlayer::Ping(quint32 tag) { return library_.send_I(decoderPlayer_, XA_MSG_COMMAND_PING, qint32(tag)); }
int TXaudioPlayer::InputSendMessage(quint16 type, const void* data, quint32 size) {
    return library_.send_IPI(decoderPlayer_, XA_MSG_COMMAND_INPUT_SEND_MESSAGE, type, data, qint32(size));
}
int TXaudioPlayer::InputAddFilter(const QString& name, qint32 where) {
    return library_.send_SI(decoderPlayer_, XA_MSG_COMMAND_INPUT_ADD_FILTER, name.toUtf8().constData(), where);
}
int TXaudioPlayer::InputRemoveFilter(const QString& name, qint32 id) {
    return library_.send_SI(decoderPlayer_, XA_MSG_COMMAND_INPUT_REMOVE_FILTER, name.toUtf8().constData(), id);
}
int TXaudioPlayer::InputFilterList() { return library_.send_N(decoderPlayer_, XA_MSG_COMMAND_INPUT_FILTERS_LIST); }
int TXaudioPlayer::InputModuleRegister(const QString& name) {
    return SendText(XA_MSG_COMMAND_INPUT_MODULE_REGISTER, name);
}
int TXaudioPlayer::InputModuleQuery(qint32 id) {
    return library_.send_I(decoderPlayer_, XA_MSG_COMMAND_INPUT_MODULE_QUERY, id);
}
int TXaudioPlayer::InputModulesList() { return library_.send_N(decoderPlayer_, XA_MSG_COMMAND_INPUT_MODULES_LIST); }
int TXaudioPlayer::OutputOpen(const QString& name) { return SendText(XA_MSG_COMMAND_OUTPUT_OPEN, name); }
int TXaudioPlayer::OutputClose() { return library_.send_N(decoderPlayer_, XA_MSG_COMMAND_OUTPUT_CLOSE); }
int TXaudioPlayer::OutputMute() { return library_.send_N(decoderPlayer_, XA_MSG_COMMAND_OUTPUT_MUTE); }
int TXaudioPlayer::OutputUnmute() { return library_.send_N(decoderPlayer_, XA_MSG_COMMAND_OUTPUT_UNMUTE); }
int TXaudioPlayer::OutputReset() { return library_.send_N(decoderPlayer_, XA_MSG_COMMAND_OUTPUT_RESET); }
int TXaudioPlayer::OutputDrain() { return library_.send_N(decoderPlayer_, XA_MSG_COMMAND_OUTPUT_DRAIN); }
int TXaudioPlayer::OutputSendMessage(quint16 type, const void* data, quint32 size) {
    return library_.send_IPI(decoderPlayer_, XA_MSG_COMMAND_OUTPUT_SEND_MESSAGE, type, data, qint32(size));
}
int TXaudioPlayer::OutputAddFilter(const QString& name, qint32 where) {
    return library_.send_SI(decoderPlayer_, XA_MSG_COMMAND_OUTPUT_ADD_FILTER, name.toUtf8().constData(), where);
}
int TXaudioPlayer::OutputRemoveFilter(const QString& name, qint32 id) {
    return library_.send_SI(decoderPlayer_, XA_MSG_COMMAND_OUTPUT_REMOVE_FILTER, name.toUtf8().constData(), id);
}
int TXaudioPlayer::OutputFilterList() { return library_.send_N(decoderPlayer_, XA_MSG_COMMAND_OUTPUT_FILTERS_LIST); }
int TXaudioPlayer::OutputModuleRegister(const QString& name) {
    return SendText(XA_MSG_COMMAND_OUTPUT_MODULE_REGISTER, name);
}
int TXaudioPlayer::OutputModuleQuery(qint32 id) {
    return library_.send_I(decoderPlayer_, XA_MSG_COMMAND_OUTPUT_MODULE_QUERY, id);
}
int TXaudioPlayer::OutputModulesList() { return library_.send_N(decoderPlayer_, XA_MSG_COMMAND_OUTPUT_MODULES_LIST); }
int TXaudioPlayer::SetPlayerMode(qint32 mode) { return library_.send_I(decoderPlayer_, XA_MSG_SET_PLAYER_MODE, mode); }
int TXaudioPlayer::GetPlayerMode() { return library_.send_N(decoderPlayer_, XA_MSG_GET_PLAYER_MODE); }
int TXaudioPlayer::SetPlayerEnvironmentInteger(const QString& name, qint32 value) {
    return library_.send_SI(decoderPlayer_, XA_MSG_SET_PLAYER_ENVIRONMENT_INTEGER, name.toUtf8().constData(), value);
}
int TXaudioPlayer::GetPlayerEnvironmentInteger(const QString& name) {
    return SendText(XA_MSG_GET_PLAYER_ENVIRONMENT_INTEGER, name);
}
int TXaudioPlayer::SetPlayerEnvironmentString(const QString& name, const QString& value) {
    return library_.send_SS(decoderPlayer_, XA_MSG_SET_PLAYER_ENVIRONMENT_STRING, name.toUtf8().constData(),
                            value.toUtf8().constData());
}
int TXaudioPlayer::GetPlayerEnvironmentString(const QString& name) {
    return SendText(XA_MSG_GET_PLAYER_ENVIRONMENT_STRING, name);
}
int TXaudioPlayer::UnsetPlayerEnvironment(const QString& name) {
    return SendText(XA_MSG_UNSET_PLAYER_ENVIRONMENT, name);
}
int TXaudioPlayer::SetInputModule(qint32 id) { return library_.send_I(decoderPlayer_, XA_MSG_SET_INPUT_MODULE, id); }
int TXaudioPlayer::GetInputModule() { return library_.send_N(decoderPlayer_, XA_MSG_GET_INPUT_MODULE); }
int TXaudioPlayer::SetInputName(const QString& name) {
    return library_.send_S(decoderPlayer_, XA_MSG_SET_INPUT_NAME, QFile::encodeName(name).constData());
}
int TXaudioPlayer::GetInputName() { return library_.send_N(decoderPlayer_, XA_MSG_GET_INPUT_NAME); }
int TXaudioPlayer::SetInputPositionRange(qint32 range) {
    return library_.send_I(decoderPlayer_, XA_MSG_SET_INPUT_POSITION_RANGE, range);
}
int TXaudioPlayer::GetInputPositionRange() {
    return library_.send_N(decoderPlayer_, XA_MSG_GET_INPUT_POSITION_RANGE);
}
int TXaudioPlayer::SetInputTimecodeGranularity(qint32 granularity) {
    return library_.send_I(decoderPlayer_, XA_MSG_SET_INPUT_TIMECODE_GRANULARITY, granularity);
}
int TXaudioPlayer::GetInputTimecodeGranularity() {
    return library_.send_N(decoderPlayer_, XA_MSG_GET_INPUT_TIMECODE_GRANULARITY);
}
int TXaudioPlayer::SetOutputModule(qint32 id) { return library_.send_I(decoderPlayer_, XA_MSG_SET_OUTPUT_MODULE, id); }
int TXaudioPlayer::GetOutputModule() { return library_.send_N(decoderPlayer_, XA_MSG_GET_OUTPUT_MODULE); }
int TXaudioPlayer::SetOutputName(const QString& name) { return SendText(XA_MSG_SET_OUTPUT_NAME, name); }
int TXaudioPlayer::GetOutputName() { return library_.send_N(decoderPlayer_, XA_MSG_GET_OUTPUT_NAME); }
int TXaudioPlayer::SetOutputVolume(quint8 masterLevel, quint8 pcmLevel, quint8 balance) {
    return library_.send_III(decoderPlayer_, XA_MSG_SET_OUTPUT_VOLUME, masterLevel, pcmLevel, balance);
}
int TXaudioPlayer::GetOutputVolume() { return library_.send_N(decoderPlayer_, XA_MSG_GET_OUTPUT_VOLUME); }
int TXaudioPlayer::SetOutputChannels(qint32 channels) {
    return library_.send_I(decoderPlayer_, XA_MSG_SET_OUTPUT_CHANNELS, channels);
}
int TXaudioPlayer::GetOutputChannels() { return library_.send_N(decoderPlayer_, XA_MSG_GET_OUTPUT_CHANNELS); }
int TXaudioPlayer::SetOutputPorts(qint32 ports) {
    return library_.send_I(decoderPlayer_, XA_MSG_SET_OUTPUT_PORTS, ports);
}
int TXaudioPlayer::GetOutputPorts() { return library_.send_N(decoderPlayer_, XA_MSG_GET_OUTPUT_PORTS); }
int TXaudioPlayer::SetCodecQuality(quint8 quality) {
    return library_.send_I(decoderPlayer_, XA_MSG_SET_CODEC_QUALITY, quality);
}
int TXaudioPlayer::GetCodecQuality() { return library_.send_N(decoderPlayer_, XA_MSG_GET_CODEC_QUALITY); }
int TXaudioPlayer::SetCodecEqualizer(const XA_EqualizerInfo* equalizer) {
    return library_.send_P(decoderPlayer_, XA_MSG_SET_CODEC_EQUALIZER, equalizer);
}
int TXaudioPlayer::GetCodecEqualizer() { return library_.send_N(decoderPlayer_, XA_MSG_GET_CODEC_EQUALIZER); }
int TXaudioPlayer::SetNotificationMask(quint32 mask) {
    return library_.send_I(decoderPlayer_, XA_MSG_SET_NOTIFICATION_MASK, qint32(mask));
}
int TXaudioPlayer::GetNotificationMask() { return library_.send_N(decoderPlayer_, XA_MSG_GET_NOTIFICATION_MASK); }
int TXaudioPlayer::SetDebugLevel(qint32 level) {
    return library_.send_I(decoderPlayer_, XA_MSG_SET_DEBUG_LEVEL, level);
}
int TXaudioPlayer::GetDebugLevel() { return library_.send_N(decoderPlayer_, XA_MSG_GET_DEBUG_LEVEL); }

// ---- notices ---------------------------------------------------------------------

// On the decoder's thread: queue the notice and have the user-interface
// thread take it when it gets to it.
void TXaudioPlayer::ReceiveNotice(void* context, XA_Notice* notice) {
    auto* self = static_cast<TXaudioPlayer*>(context);
    bool first;
    {
        std::lock_guard lock(self->noticesMutex_);
        first = self->notices_.empty();
        self->notices_.push_back(notice);
    }
    if (first) QMetaObject::invokeMethod(self, &TXaudioPlayer::DispatchNext, Qt::QueuedConnection);
}

// One notice per turn of the event loop; a handler that opens a window of
// its own does not see the next notice before it has returned.
void TXaudioPlayer::DispatchNext() {
    if (dispatching_) return;
    XA_Notice* notice = nullptr;
    {
        std::lock_guard lock(noticesMutex_);
        if (notices_.empty()) return;
        notice = notices_.front();
        notices_.pop_front();
    }
    XA_Message message{};
    library_.notice_to_message(decoderPlayer_, &message, notice);
    if (!IsOfAClosedInput(message)) {
        dispatching_ = true;
        Dispatch(message);
        dispatching_ = false;
    }
    library_.notice_free(notice);
    std::lock_guard lock(noticesMutex_);
    if (!notices_.empty()) QMetaObject::invokeMethod(this, &TXaudioPlayer::DispatchNext, Qt::QueuedConnection);
}

bool TXaudioPlayer::IsOfAClosedInput(const XA_Message& message) {
    if (!closing_) return false;
    switch (message.code) {
    case XA_MSG_NOTIFY_PONG:
        if (message.data.tag != closingPing_) return false;
        closing_ = false;
        return true;
    case XA_MSG_NOTIFY_PLAYER_STATE:
    case XA_MSG_NOTIFY_INPUT_STATE:
    case XA_MSG_NOTIFY_INPUT_NAME:
    case XA_MSG_NOTIFY_INPUT_CAPS:
    case XA_MSG_NOTIFY_INPUT_POSITION:
    case XA_MSG_NOTIFY_INPUT_TIMECODE:
    case XA_MSG_NOTIFY_INPUT_DURATION:
    case XA_MSG_NOTIFY_INPUT_STREAM_INFO: return true;
    // A file that would not open is not the one opened since.
    case XA_MSG_NOTIFY_ERROR: return message.data.error.source == XA_SOURCE_INPUT;
    default: return false;
    }
}

void TXaudioPlayer::Dispatch(XA_Message& message) {
    emit OnNotifyMessage(message);
    const auto& d = message.data;
    switch (message.code) {
    case XA_MSG_NOTIFY_READY: emit OnNotifyReady(); break;
    case XA_MSG_NOTIFY_ACK: emit OnNotifyAck(d.command); break;
    case XA_MSG_NOTIFY_NACK: emit OnNotifyNack(d.nack.command, d.nack.code); break;
    case XA_MSG_NOTIFY_PONG: emit OnNotifyPong(d.tag); break;
    case XA_MSG_NOTIFY_EXITED: emit OnNotifyExited(); break;
    case XA_MSG_NOTIFY_PLAYER_STATE: RaiseState(d.state); break;
    case XA_MSG_NOTIFY_PLAYER_MODE: emit OnNotifyPlayerMode(d.mode); break;
    case XA_MSG_NOTIFY_PLAYER_ENVIRONMENT_INTEGER:
        emit OnNotifyPlayerEnvironmentInteger(Text(d.environment_integer.name), d.environment_integer.value);
        break;
    case XA_MSG_NOTIFY_PLAYER_ENVIRONMENT_STRING:
        emit OnNotifyPlayerEnvironmentString(Text(d.environment_string.name), Text(d.environment_string.value));
        break;
    case XA_MSG_NOTIFY_INPUT_STATE: emit OnNotifyInputState(d.state); break;
    case XA_MSG_NOTIFY_INPUT_NAME: emit OnNotifyInputName(Text(d.name)); break;
    case XA_MSG_NOTIFY_INPUT_CAPS: emit OnNotifyInputCaps(d.caps); break;
    case XA_MSG_NOTIFY_INPUT_POSITION:
        position_ = d.position.offset;
        range_ = d.position.range;
        emit OnNotifyInputPosition(d.position.offset, d.position.range);
        break;
    case XA_MSG_NOTIFY_INPUT_POSITION_RANGE: emit OnNotifyInputPositionRange(d.range); break;
    case XA_MSG_NOTIFY_INPUT_TIMECODE:
        emit OnNotifyInputTimecode(d.timecode.h, d.timecode.m, d.timecode.s, d.timecode.f);
        break;
    case XA_MSG_NOTIFY_INPUT_TIMECODE_GRANULARITY: emit OnNotifyInputTimecodeGranularity(d.granularity); break;
    case XA_MSG_NOTIFY_INPUT_DURATION: emit OnNotifyInputDuration(d.duration); break;
    case XA_MSG_NOTIFY_INPUT_STREAM_INFO:
        emit OnNotifyInputStreamInfo(d.stream_info.level, d.stream_info.layer, d.stream_info.bitrate,
                                     d.stream_info.frequency, d.stream_info.mode);
        break;
    case XA_MSG_NOTIFY_INPUT_MODULE: emit OnNotifyInputModule(d.module_id); break;
    case XA_MSG_NOTIFY_INPUT_MODULE_INFO:
        emit OnNotifyInputModuleInfo(d.module_info.id, d.module_info.nb_devices, Text(d.module_info.name),
                                     Text(d.module_info.description));
        break;
    case XA_MSG_NOTIFY_INPUT_DEVICE_INFO:
        emit OnNotifyInputDeviceInfo(d.device_info.module_id, d.device_info.index, d.device_info.flags,
                                     Text(d.device_info.name), Text(d.device_info.description));
        break;
    case XA_MSG_NOTIFY_INPUT_FILTER_INFO:
        emit OnNotifyInputFilterInfo(d.filter_info.id, Text(d.filter_info.name));
        break;
    case XA_MSG_NOTIFY_OUTPUT_STATE: emit OnNotifyOutputState(d.state); break;
    case XA_MSG_NOTIFY_OUTPUT_NAME: emit OnNotifyOutputName(Text(d.name)); break;
    case XA_MSG_NOTIFY_OUTPUT_CAPS: emit OnNotifyOutputCaps(d.caps); break;
    case XA_MSG_NOTIFY_OUTPUT_VOLUME:
        emit OnNotifyOutputVolume(d.volume.master_level, d.volume.pcm_level, d.volume.balance);
        break;
    case XA_MSG_NOTIFY_OUTPUT_BALANCE: emit OnNotifyOutputBalance(d.volume.balance); break;
    case XA_MSG_NOTIFY_OUTPUT_PCM_LEVEL: emit OnNotifyOutputPcmLevel(d.volume.pcm_level); break;
    case XA_MSG_NOTIFY_OUTPUT_MASTER_LEVEL: emit OnNotifyOutputMasterLevel(d.volume.master_level); break;
    case XA_MSG_NOTIFY_OUTPUT_CHANNELS: emit OnNotifyOutputChannels(d.channels); break;
    case XA_MSG_NOTIFY_OUTPUT_PORTS: emit OnNotifyOutputPorts(d.ports); break;
    case XA_MSG_NOTIFY_OUTPUT_MODULE: emit OnNotifyOutputModule(d.module_id); break;
    case XA_MSG_NOTIFY_OUTPUT_MODULE_INFO:
        emit OnNotifyOutputModuleInfo(d.module_info.id, d.module_info.nb_devices, Text(d.module_info.name),
                                      Text(d.module_info.description));
        break;
    case XA_MSG_NOTIFY_OUTPUT_DEVICE_INFO:
        emit OnNotifyOutputDeviceInfo(d.device_info.module_id, d.device_info.index, d.device_info.flags,
                                      Text(d.device_info.name), Text(d.device_info.description));
        break;
    case XA_MSG_NOTIFY_OUTPUT_FILTER_INFO:
        emit OnNotifyOutputFilterInfo(d.filter_info.id, Text(d.filter_info.name));
        break;
    case XA_MSG_NOTIFY_CODEC_QUALITY: emit OnNotifyCodecQuality(d.quality); break;
    case XA_MSG_NOTIFY_CODEC_EQUALIZER:
        if (d.equalizer) emit OnNotifyCodecEqualizer(*d.equalizer);
        break;
    case XA_MSG_NOTIFY_NOTIFICATION_MASK: emit OnNotifyNotificationMask(d.notification_mask); break;
    case XA_MSG_NOTIFY_DEBUG_LEVEL: emit OnNotifyDebugLevel(d.debug_level); break;
    case XA_MSG_NOTIFY_PROGRESS:
        emit OnNotifyProgress(d.progress.source, d.progress.code, d.progress.value, Text(d.progress.message));
        break;
    case XA_MSG_NOTIFY_DEBUG: emit OnNotifyDebug(d.debug.source, d.debug.level, Text(d.debug.message)); break;
    case XA_MSG_NOTIFY_ERROR: emit OnNotifyError(d.error.source, d.error.code, Text(d.error.message)); break;
    default: break;  // 95 and codes outside the table reach OnNotifyMessage only
    }
}
