#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <memory>
#include <mutex>

#include "platform/decoder/xaudio.h"
#include "platform/mediacontrol/mediacontrol.h"

class TDialogs;

// Plays one file at a time: MPEG audio through the decoder library, Windows
// Media files through the media control service. Both kinds are driven by
// the same operations and report through the same events (Qt signals, raised
// on the user-interface thread, one notice at a time and in order), so the
// play controls never ask which engine holds the file. A state event comes
// only when the state changes, and only for the input that is open now, so
// the last one always tells the truth.
class TXaudioPlayer : public QObject {
    Q_OBJECT
public:
    enum TMediaType { mtMP3 = 0, mtWMA = 1, mtRM = 2 };

    // `mediaControl` plays the Windows Media files (the media player module's
    // unless given);
    // `library` is the decoder library's table of entry points.
    TXaudioPlayer(TDialogs& dialogs, QObject* parent = nullptr, std::unique_ptr<TMediaControl> mediaControl = {},
                  const XA_Library& library = xaudio_library());
    ~TXaudioPlayer() override;

    // Position and Range as last reported; writing them only stores.
    quint32 Range() const { return range_; }
    void SetRange(quint32 range) { range_ = range; }
    quint32 Position() const { return position_; }
    void SetPosition(quint32 position) { position_ = position; }
    bool Opened() const { return opened_; }
    TMediaType MediaType() const { return mediaType_; }
    void SetMediaType(TMediaType mediaType) { mediaType_ = mediaType; }
    quint32 Priority() const;
    void SetPriority(quint32 priority);

    void ErrorString(int code, QString& text) const;
    void Exit();
    int Ping(quint32 tag);
    void Play();
    void Pause();
    void Stop();
    void InputSeek(quint32 offset);
    void InputOpen(const QString& fileName);
    void InputClose();
    int InputSendMessage(quint16 type, const void* data, quint32 size);
    int InputAddFilter(const QString& name, qint32 where);
    int InputRemoveFilter(const QString& name, qint32 id);
    int InputFilterList();
    int InputModuleRegister(const QString& name);
    int InputModuleQuery(qint32 id);
    int InputModulesList();
    int OutputOpen(const QString& name);
    int OutputClose();
    int OutputMute();
    int OutputUnmute();
    int OutputReset();
    int OutputDrain();
    int OutputSendMessage(quint16 type, const void* data, quint32 size);
    int OutputAddFilter(const QString& name, qint32 where);
    int OutputRemoveFilter(const QString& name, qint32 id);
    int OutputFilterList();
    int OutputModuleRegister(const QString& name);
    int OutputModuleQuery(qint32 id);
    int OutputModulesList();
    int SetPlayerMode(qint32 mode);
    int GetPlayerMode();
    int SetPlayerEnvironmentInteger(const QString& name, qint32 value);
    int GetPlayerEnvironmentInteger(const QString& name);
    int SetPlayerEnvironmentString(const QString& name, const QString& value);
    int GetPlayerEnvironmentString(const QString& name);
    int UnsetPlayerEnvironment(const QString& name);
    int SetInputModule(qint32 id);
    int GetInputModule();
    int SetInputName(const QString& name);
    int GetInputName();
    int SetInputPositionRange(qint32 range);
    int GetInputPositionRange();
    int SetInputTimecodeGranularity(qint32 granularity);
    int GetInputTimecodeGranularity();
    int SetOutputModule(qint32 id);
    int GetOutputModule();
    int SetOutputName(const QString& name);
    int GetOutputName();
    int SetOutputVolume(quint8 masterLevel, quint8 pcmLevel, quint8 balance);
    int GetOutputVolume();
    int SetOutputChannels(qint32 channels);
    int GetOutputChannels();
    int SetOutputPorts(qint32 ports);
    int GetOutputPorts();
    int SetCodecQuality(quint8 quality);
    int GetCodecQuality();
    int SetCodecEqualizer(const XA_EqualizerInfo* equalizer);
    int GetCodecEqualizer();
    int SetNotificationMask(quint32 mask);
    int GetNotificationMask();
    int SetDebugLevel(qint32 level);
    int GetDebugLevel();

signals:
    // Every notice first; a handler may change the message before the
    // notice's own event reads it.
    void OnNotifyMessage(XA_Message& message);
    void OnNotifyReady();
    void OnNotifyAck(quint8 command);
    void OnNotifyNack(quint8 command, qint16 code);
    void OnNotifyPong(quint32 tag);
    void OnNotifyExited();
    void OnNotifyPlayerState(qint32 state);
    void OnNotifyPlayerMode(qint32 mode);
    void OnNotifyPlayerEnvironmentInteger(const QString& name, qint32 value);
    void OnNotifyPlayerEnvironmentString(const QString& name, const QString& value);
    void OnNotifyInputState(qint32 state);
    void OnNotifyInputName(const QString& name);
    void OnNotifyInputCaps(quint32 caps);
    void OnNotifyInputPosition(quint32 offset, quint32 range);
    void OnNotifyInputPositionRange(qint32 range);
    void OnNotifyInputTimecode(quint8 hours, quint8 minutes, quint8 seconds, quint8 fractions);
    void OnNotifyInputTimecodeGranularity(quint32 granularity);
    void OnNotifyInputDuration(quint32 duration);
    void OnNotifyInputStreamInfo(quint8 level, quint8 layer, quint16 bitrate, quint16 frequency, quint8 mode);
    void OnNotifyInputModule(qint16 id);
    void OnNotifyInputModuleInfo(quint8 id, quint8 nbDevices, const QString& name, const QString& description);
    void OnNotifyInputDeviceInfo(quint8 moduleId, quint8 index, quint8 flags, const QString& name,
                                 const QString& description);
    void OnNotifyInputFilterInfo(quint8 id, const QString& name);
    void OnNotifyOutputState(qint32 state);
    void OnNotifyOutputName(const QString& name);
    void OnNotifyOutputCaps(quint32 caps);
    void OnNotifyOutputVolume(quint8 masterLevel, quint8 pcmLevel, quint8 balance);
    void OnNotifyOutputBalance(quint8 balance);
    void OnNotifyOutputPcmLevel(quint8 pcmLevel);
    void OnNotifyOutputMasterLevel(quint8 masterLevel);
    void OnNotifyOutputChannels(quint8 channels);
    void OnNotifyOutputPorts(quint32 ports);
    void OnNotifyOutputModule(qint16 id);
    void OnNotifyOutputModuleInfo(quint8 id, quint8 nbDevices, const QString& name, const QString& description);
    void OnNotifyOutputDeviceInfo(quint8 moduleId, quint8 index, quint8 flags, const QString& name,
                                  const QString& description);
    void OnNotifyOutputFilterInfo(quint8 id, const QString& name);
    void OnNotifyCodecQuality(quint8 quality);
    void OnNotifyCodecEqualizer(const XA_EqualizerInfo& equalizer);
    void OnNotifyNotificationMask(quint32 mask);
    void OnNotifyDebugLevel(quint8 level);
    void OnNotifyProgress(quint8 source, quint8 code, qint16 value, const QString& message);
    void OnNotifyDebug(quint8 source, quint8 level, const QString& message);
    void OnNotifyError(quint8 source, qint16 code, const QString& message);

private:
    static void ReceiveNotice(void* context, XA_Notice* notice);
    void DispatchNext();
    bool IsOfAClosedInput(const XA_Message& message);
    void Dispatch(XA_Message& message);
    void RaiseState(int state);
    void Poll();
    int SendText(int code, const QString& text);

    const XA_Library& library_;
    quint32 range_ = 0;
    quint32 position_ = 0;
    XA_Player* decoderPlayer_ = nullptr;
    bool opened_ = false;
    TMediaType mediaType_ = mtMP3;
    QTimer* pollTimer_;  // runs only while a Windows Media file plays
    std::unique_ptr<TMediaControl> mediaControl_;
    // The state last raised, of the current input.
    int state_ = XA_PLAYER_STATE_STOPPED;
    // After an MPEG input is closed, the decoder's notices about it are
    // dropped until it answers the ping sent behind the close.
    bool closing_ = false;
    quint32 closingPing_ = 0;

    // Notices on their way from the decoder's thread.
    std::mutex noticesMutex_;
    std::deque<XA_Notice*> notices_;
    bool dispatching_ = false;
};
