#pragma once

#include <memory>
#include <string>

#include "platform/audio/audiooutput.h"

// Keeps the ALSA library from printing its errors to stderr: callers report
// failures themselves. Safe to call any number of times.
void SilenceAlsaErrors();

// `device` is an ALSA PCM name ("default", "hw:1,0", "null", ...).
std::unique_ptr<TAudioOutput> MakeAlsaOutput(const std::string& device);
