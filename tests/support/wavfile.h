#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A WAV file of signed 16-bit samples, as the "wav" output module writes it.
struct TWavData {
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;  // channels interleaved

    long Frames() const { return channels ? long(samples.size()) / channels : 0; }
};

// False when the file is missing or is not a 16-bit PCM WAV file.
bool ReadWavFile(const std::string& path, TWavData& wav);
