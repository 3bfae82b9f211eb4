#pragma once

#include <cstdint>
#include <memory>

// What came of one access to the master volume. Each failure other than
// NoMixer and NoLine has a message the caller shows.
enum class TMixerResult {
    Ok,
    NoMixer,           // no mixer device, or it did not open: nothing to say
    NoLine,            // the card has no such line: nothing to say
    LineInfoError,     // the line has no volume control: "GetLineInfo Error"
    ReadError,         // "GetControlDetails Error"
    WriteError,        // "SetControlDetails Error"
};

// The sound card's volume controls, scaled to and from 0..65535. Lines:
// 0 speakers (the master control), 1 microphone, 2 wave output, 3 synthesizer.
class TMixer {
public:
    virtual ~TMixer() = default;
    virtual TMixerResult GetMasterVolume(int line, uint32_t& value) = 0;
    virtual TMixerResult SetMasterVolume(int line, uint16_t value) = 0;
};

// The ALSA simple mixer of the default card, opened and closed on every access.
std::unique_ptr<TMixer> MakeAlsaMixer();

// 0..65535 to a control's own range [min, max] and back, linearly and
// rounded to the nearest step.
long ScaleToControl(uint16_t value, long min, long max);
uint32_t ScaleFromControl(long value, long min, long max);
