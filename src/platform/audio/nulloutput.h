#pragma once

#include <memory>

#include "platform/audio/audiooutput.h"

class TWavWriter;

// How a paced output consumes sound; a negative time means "never".
struct TPaceOptions {
    double speed = 1;
    int endMs = -1;
    int stallMs = -1;
    int refusals = 0;  // opens that fail before one succeeds
};

// An output that consumes sound at real-time pace times `speed`, as a sound
// card would. What it consumes goes to `recorder` when there is one.
std::unique_ptr<TAudioOutput> MakePacedOutput(const TPaceOptions& options, std::unique_ptr<TWavWriter> recorder);
