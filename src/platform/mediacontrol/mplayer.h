#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/mediacontrol/mediacontrol.h"

// Plays one media file of any format FFmpeg can open (".wma" among them)
// through a sound output module, on a thread of its own. Positions and
// lengths are in milliseconds. Every operation but Play waits until it is
// carried out; failures are kept in LastError and never shown.
class TMPlayer final : public TMediaControl {
public:
    // `outputSetting` names the sound output module (see MakeAudioOutput); "alsa"
    // falls back to "null" when the default device cannot be opened.
    explicit TMPlayer(std::string outputSetting = "alsa");
    ~TMPlayer() override;

    void SetFileName(const std::string& fileName) override;
    void Open() override;
    void Close() override;
    void Play() override;
    bool Pause() override;
    void Stop() override;
    void Seek(uint32_t position) override;
    void Rewind() override;
    uint32_t Length() override;
    uint32_t Position() override;
    int Mode() override;

    bool Opened() const;
    // 0 after a command that succeeded; otherwise the FFmpeg or output error.
    uint32_t LastError() const;

private:
    class TEngine;
    std::unique_ptr<TEngine> engine_;
};
