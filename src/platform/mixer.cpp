#include "platform/mixer.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <iterator>

#include "platform/audio/alsaoutput.h"

namespace {

constexpr long kFullScale = 65535;

// The microphone line is the only one read on the capture side.
constexpr int kCaptureLine = 1;

const char* const kLineElements[] = {"Master", "Capture", "PCM", "Synth"};

// The default card's simple mixer, loaded afresh and closed when done, so
// that nothing is held between accesses.
class TMixerSession {
public:
    TMixerSession() {
        SilenceAlsaErrors();
        if (snd_mixer_open(&mixer_, 0) < 0) {
            mixer_ = nullptr;
            return;
        }
        if (snd_mixer_attach(mixer_, "default") < 0 || snd_mixer_selem_register(mixer_, nullptr, nullptr) < 0 ||
            snd_mixer_load(mixer_) < 0) {
            snd_mixer_close(mixer_);
            mixer_ = nullptr;
        }
    }
    ~TMixerSession() {
        if (mixer_ != nullptr) snd_mixer_close(mixer_);
    }
    TMixerSession(const TMixerSession&) = delete;
    TMixerSession& operator=(const TMixerSession&) = delete;

    bool IsOpen() const { return mixer_ != nullptr; }

    snd_mixer_elem_t* Find(const char* name) const {
        snd_mixer_selem_id_t* id = nullptr;
        snd_mixer_selem_id_alloca(&id);
        snd_mixer_selem_id_set_index(id, 0);
        snd_mixer_selem_id_set_name(id, name);
        return snd_mixer_find_selem(mixer_, id);
    }

private:
    snd_mixer_t* mixer_ = nullptr;
};

// One line's volume control, on the side (playback or capture) it belongs to.
struct TVolumeControl {
    snd_mixer_elem_t* element = nullptr;
    bool capture = false;
    long min = 0;
    long max = 0;
};

TMixerResult FindControl(const TMixerSession& session, int line, TVolumeControl& control) {
    if (!session.IsOpen()) return TMixerResult::NoMixer;
    control.element = session.Find(kLineElements[line]);
    if (control.element == nullptr) return TMixerResult::NoLine;
    control.capture = line == kCaptureLine;
    const bool hasVolume = control.capture ? snd_mixer_selem_has_capture_volume(control.element)
                                           : snd_mixer_selem_has_playback_volume(control.element);
    if (!hasVolume) return TMixerResult::LineInfoError;
    const int err = control.capture
                        ? snd_mixer_selem_get_capture_volume_range(control.element, &control.min, &control.max)
                        : snd_mixer_selem_get_playback_volume_range(control.element, &control.min, &control.max);
    return err < 0 ? TMixerResult::LineInfoError : TMixerResult::Ok;
}

bool IsLine(int line) {
    return line >= 0 && line < int(std::size(kLineElements));
}

class TAlsaMixer final : public TMixer {
public:
    TMixerResult GetMasterVolume(int line, uint32_t& value) override {
        value = 0;
        if (!IsLine(line)) return TMixerResult::NoLine;
        TMixerSession session;
        TVolumeControl control;
        const TMixerResult found = FindControl(session, line, control);
        if (found != TMixerResult::Ok) return found;
        // Mono controls keep their one value where front-left would be.
        long raw = 0;
        const int err = control.capture
                            ? snd_mixer_selem_get_capture_volume(control.element, SND_MIXER_SCHN_FRONT_LEFT, &raw)
                            : snd_mixer_selem_get_playback_volume(control.element, SND_MIXER_SCHN_FRONT_LEFT, &raw);
        if (err < 0) return TMixerResult::ReadError;
        value = ScaleFromControl(raw, control.min, control.max);
        return TMixerResult::Ok;
    }

    TMixerResult SetMasterVolume(int line, uint16_t value) override {
        if (!IsLine(line)) return TMixerResult::NoLine;
        TMixerSession session;
        TVolumeControl control;
        const TMixerResult found = FindControl(session, line, control);
        if (found != TMixerResult::Ok) return found;
        const long raw = ScaleToControl(value, control.min, control.max);
        const int err = control.capture ? snd_mixer_selem_set_capture_volume_all(control.element, raw)
                                        : snd_mixer_selem_set_playback_volume_all(control.element, raw);
        return err < 0 ? TMixerResult::WriteError : TMixerResult::Ok;
    }
};

} // namespace

long ScaleToControl(uint16_t value, long min, long max) {
    if (max <= min) return min;
    return min + (long(value) * (max - min) + kFullScale / 2) / kFullScale;
}

uint32_t ScaleFromControl(long value, long min, long max) {
    if (max <= min) return 0;
    const long step = std::clamp(value, min, max) - min;
    return uint32_t((step * kFullScale + (max - min) / 2) / (max - min));
}

std::unique_ptr<TMixer> MakeAlsaMixer() {
    return std::make_unique<TAlsaMixer>();
}
