#include "platform/audio/audiooutput.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <string_view>

#include "platform/audio/alsaoutput.h"
#include "platform/audio/nulloutput.h"
#include "platform/audio/wavoutput.h"

namespace {

const char* const kModuleNames[] = {"alsa", "null", "wav"};

// Outside these the pacing arithmetic would lose its meaning.
constexpr double kMinSpeed = 0.01;
constexpr double kMaxSpeed = 10000;

template <typename T>
bool ParseNumber(std::string_view text, T& value) {
    const char* end = text.data() + text.size();
    const auto [stop, fault] = std::from_chars(text.data(), end, value);
    return fault == std::errc() && stop == end;
}

bool ParseOption(std::string_view item, TPaceOptions& options, std::string& error) {
    const std::size_t equals = item.find('=');
    const std::string_view key = item.substr(0, equals);
    const std::string_view value = equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1);
    bool ok = false;
    if (key == "speed") {
        ok = ParseNumber(value, options.speed) && options.speed >= kMinSpeed && options.speed <= kMaxSpeed;
    } else if (key == "end") {
        ok = ParseNumber(value, options.endMs) && options.endMs >= 0;
    } else if (key == "stall") {
        ok = ParseNumber(value, options.stallMs) && options.stallMs >= 0;
    } else if (key == "refuse") {
        ok = ParseNumber(value, options.refusals) && options.refusals >= 0;
    } else {
        error = "unknown sound output option \"" + std::string(key) + "\" (known: speed, end, stall, refuse)";
        return false;
    }
    if (!ok) {
        error = "bad value \"" + std::string(value) + "\" for the sound output option " + std::string(key) +
                (key == "speed"    ? " (a number from 0.01 to 10000)"
                  : key == "refuse" ? " (a whole number)"
                                    : " (whole milliseconds)");
    }
    return ok;
}

// Hands each "key=value" of the query to `take`, which sets `error` and
// returns false for one it does not know.
template <typename F>
bool ForEachOption(std::string_view query, F take) {
    if (query.empty()) return true;
    for (;;) {
        const std::size_t amp = query.find('&');
        if (!take(query.substr(0, amp))) return false;
        if (amp == std::string_view::npos) return true;
        query = query.substr(amp + 1);
    }
}

} // namespace

std::unique_ptr<TAudioOutput> MakeAudioOutput(const std::string& setting, std::string& error) {
    std::string_view rest = setting;
    std::string_view query;
    if (const std::size_t mark = rest.find('?'); mark != std::string_view::npos) {
        query = rest.substr(mark + 1);
        rest = rest.substr(0, mark);
    }
    const std::size_t colon = rest.find(':');
    const std::string name(rest.substr(0, colon));
    const bool hasFile = colon != std::string_view::npos;
    const std::string file = hasFile ? std::string(rest.substr(colon + 1)) : std::string();

    if (std::find(std::begin(kModuleNames), std::end(kModuleNames), name) == std::end(kModuleNames)) {
        error = "unknown sound output module \"" + name + "\" (known: alsa, null, wav)";
        return nullptr;
    }
    if (name == "alsa") {
        std::string device = "default";
        const bool parsed = ForEachOption(query, [&](std::string_view item) {
            if (item.rfind("device=", 0) == 0 && item.size() > 7) {
                device = item.substr(7);
                return true;
            }
            error = "the alsa sound output takes only the option device=NAME";
            return false;
        });
        if (!parsed) return nullptr;
        if (hasFile) {
            error = "the alsa sound output takes no file name";
            return nullptr;
        }
        return MakeAlsaOutput(device);
    }
    TPaceOptions pace;
    if (!ForEachOption(query, [&](std::string_view item) { return ParseOption(item, pace, error); })) return nullptr;
    const bool paced = !query.empty();
    if (name == "wav") {
        if (file.empty()) {
            error = "the wav sound output needs a file name, as in wav:/tmp/out.wav";
            return nullptr;
        }
        if (paced) return MakePacedOutput(pace, std::make_unique<TWavWriter>(file));
        return MakeWavOutput(file);
    }
    if (hasFile) {
        error = "the null sound output takes no file name";
        return nullptr;
    }
    return MakePacedOutput(pace, nullptr);
}

int AudioOutputModuleId(const std::string& setting) {
    const std::string name = setting.substr(0, setting.find_first_of(":?"));
    const auto found = std::find(std::begin(kModuleNames), std::end(kModuleNames), name);
    return found == std::end(kModuleNames) ? -1 : int(found - std::begin(kModuleNames));
}

bool IsSoundDevice(const std::string& setting) {
    const int id = AudioOutputModuleId(setting);
    return id >= 0 && std::string_view(kModuleNames[id]) != "wav";
}

const char* const* AudioOutputModuleNames() {
    return kModuleNames;
}

int AudioOutputModuleCount() {
    return static_cast<int>(std::size(kModuleNames));
}
