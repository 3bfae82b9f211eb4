#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Sound is handed over as signed 16-bit samples, channels interleaved.
struct TAudioFormat {
    int rate = 44100;
    int channels = 2;

    bool operator==(const TAudioFormat&) const = default;
};

enum class TOutputState {
    Closed,   // nothing open; Open starts it
    Playing,  // open and consuming what it is given
    Paused,   // open, holding what it has, consuming nothing
    Failed,   // the device went away or ended early; only Close or Open help
};

// One sound output module. Used by one thread at a time (the player that owns
// it), except Interrupt, which any thread may call to cut a wait short.
class TAudioOutput {
public:
    virtual ~TAudioOutput() = default;

    // Opens the device for this format (closing what was open). False, with
    // Error() saying why, when the device cannot take it.
    virtual bool Open(const TAudioFormat& format) = 0;
    // Hands over up to `frames` frames; waits at most about `waitMs` for room
    // and returns how many frames were taken (0 when there was no room in
    // time), or -1 when the device failed.
    virtual long Write(const int16_t* samples, long frames, int waitMs) = 0;
    // Stops consuming (true) or goes on (false) without losing or repeating
    // anything buffered.
    virtual void Pause(bool paused) = 0;
    // Drops everything buffered and not yet heard; the output stays open.
    virtual void Reset() = 0;
    // Takes back up to `frames` of the newest frames handed over and not yet
    // heard, as if they had never been written; returns how many it took.
    // The older ones play on.
    virtual long TakeBack(long frames) = 0;
    // Nothing more comes for now: sound held back until enough is buffered
    // to start the device starts now.
    virtual void Finish() = 0;
    virtual void Close() = 0;

    virtual TOutputState State() const = 0;
    // Frames handed over but not yet heard.
    virtual long Delay() const = 0;
    virtual TAudioFormat Format() const = 0;
    virtual std::string Error() const = 0;

    // Wakes a Write that waits for room, from any thread.
    virtual void Interrupt() = 0;
};

// The modules by name:
//   "alsa"       the default ALSA device (on desktops it reaches PipeWire or PulseAudio)
//   "null"       consumes sound at real-time pace and plays nothing
//   "wav:FILE"   writes everything it is given to a WAV file, as fast as it comes;
//                with any option below it is paced like "null" instead and the file
//                records only what a listener would have heard
// Options follow a "?" and are separated by "&":
//   speed=N      pace at N times real time (null: default 1; wav: unpaced unless given)
//   end=MS       (null, wav) the device fails after MS milliseconds of sound since Open
//   stall=MS     (null, wav) the device stops consuming after MS milliseconds of sound
//                until Reset or Close; it stalls only once
//   refuse=N     (null, wav) the first N opens fail, as a device that is not ready yet
//   device=NAME  (alsa, its only option) another ALSA device than "default"
// Gives nullptr and the reason in `error` for an unknown name or a bad option.
std::unique_ptr<TAudioOutput> MakeAudioOutput(const std::string& setting, std::string& error);

// The module id of a setting ("wav:/tmp/a.wav" is the wav module's), or -1.
int AudioOutputModuleId(const std::string& setting);
// True for the modules that stand for a sound device (alsa, null), which a
// player may stand in for with null while the device cannot be opened.
bool IsSoundDevice(const std::string& setting);

// The names of the modules, in the order of their module ids.
const char* const* AudioOutputModuleNames();
int AudioOutputModuleCount();
