#pragma once

#include <cstdint>
#include <string>

// A playback service that opens a file by name, plays it asynchronously,
// pauses only while playing, stops, seeks, and reports position and length in
// one unit (milliseconds). The player component uses it for files the MPEG
// decoder does not take; tests put a fake in its place.
class TMediaControl {
public:
    // Mode values.
    enum : int { NotReady = 0, Stopped = 1, Playing = 2, Recording = 3, Seeking = 4, Paused = 5, OpenMode = 6 };

    virtual ~TMediaControl() = default;

    virtual void SetFileName(const std::string& fileName) = 0;
    virtual void Open() = 0;
    virtual void Close() = 0;
    virtual void Play() = 0;
    virtual bool Pause() = 0;
    virtual void Stop() = 0;
    virtual void Seek(uint32_t position) = 0;
    virtual void Rewind() = 0;
    virtual uint32_t Length() = 0;
    virtual uint32_t Position() = 0;
    virtual int Mode() = 0;
};
