#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/audio/audiooutput.h"

// A 16-bit PCM WAV file filled as sound arrives. The header's sizes are set
// right by Close (and by the destructor).
class TWavWriter {
public:
    explicit TWavWriter(std::string path);
    ~TWavWriter();
    TWavWriter(const TWavWriter&) = delete;
    TWavWriter& operator=(const TWavWriter&) = delete;

    // Goes on after what was written before when the format is the same as
    // last time, otherwise starts the file anew.
    bool Open(const TAudioFormat& format, std::string& error);
    bool Append(const int16_t* samples, long frames, std::string& error);
    void Close();

private:
    bool StartAnew(std::string& error);
    bool WriteHeader();

    const std::string path_;
    std::FILE* file_ = nullptr;
    bool written_ = false;  // format_ and dataBytes_ describe the file's contents
    TAudioFormat format_;
    uint64_t dataBytes_ = 0;
};

// Writes everything at once, never waits and has no delay.
std::unique_ptr<TAudioOutput> MakeWavOutput(const std::string& path);
