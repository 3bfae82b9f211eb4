#pragma once

#include <string>

#include "platform/decoder/xaudio.h"

// A notice on its way to the receiver; its message points into its own texts
// and equalizer.
struct XA_Notice {
    XA_Message message{};
    std::string texts[2];
    XA_EqualizerInfo equalizer{};
};
