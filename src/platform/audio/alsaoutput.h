#pragma once

#include <memory>

#include "platform/audio/audiooutput.h"

// Keeps the ALSA library from printing its errors to stderr: callers report
// failures themselves. Safe to call any number of times.
void SilenceAlsaErrors();

std::unique_ptr<TAudioOutput> MakeAlsaOutput();
