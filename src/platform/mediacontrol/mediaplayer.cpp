#include "platform/mediacontrol/mediaplayer.h"

#include <cstdio>
#include <dlfcn.h>
#include <utility>

#include "core/paths.h"

namespace {

constexpr const char* kModuleName = "tcrate-mediaplayer.so";

using TNewPlayer = TMediaControl* (*)(const char*);

// The module's entry point, loaded once for the whole program; none when the
// module cannot be loaded. The module stays loaded until the program ends.
TNewPlayer ModuleEntry() {
    static const TNewPlayer entry = [] () -> TNewPlayer {
        // Beside the program (a build folder, a portable copy), else where
        // an installed program keeps it.
        const std::string folder = ProgramFolder();
        std::string problems;
        for (const std::string& path : {folder + kModuleName, folder + "../lib/tunecrate/" + kModuleName}) {
            void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (module == nullptr) {
                problems += std::string("\n  ") + dlerror();
                continue;
            }
            if (auto* found = reinterpret_cast<TNewPlayer>(dlsym(module, "tcrate_new_media_player"))) return found;
            problems += "\n  " + path + ": no entry point";
        }
        std::fprintf(stderr, "tunecrate: the media player cannot be loaded, only MPEG files play:%s\n", problems.c_str());
        return nullptr;
    }();
    return entry;
}

// Stands in for the module's player until the first file comes.
class TDeferredPlayer final : public TMediaControl {
public:
    explicit TDeferredPlayer(std::string outputSetting) : output_(std::move(outputSetting)) {}

    void SetFileName(const std::string& fileName) override {
        if (Player()) player_->SetFileName(fileName);
    }
    void Open() override {
        if (Player()) player_->Open();
    }
    void Close() override {
        if (player_) player_->Close();
    }
    void Play() override {
        if (player_) player_->Play();
    }
    bool Pause() override { return player_ && player_->Pause(); }
    void Stop() override {
        if (player_) player_->Stop();
    }
    void Seek(uint32_t position) override {
        if (player_) player_->Seek(position);
    }
    void Rewind() override {
        if (player_) player_->Rewind();
    }
    uint32_t Length() override { return player_ ? player_->Length() : 0; }
    uint32_t Position() override { return player_ ? player_->Position() : 0; }
    int Mode() override { return player_ ? player_->Mode() : NotReady; }

private:
    bool Player() {
        if (!player_)
            if (const TNewPlayer entry = ModuleEntry()) player_.reset(entry(output_.c_str()));
        return player_ != nullptr;
    }

    std::string output_;
    std::unique_ptr<TMediaControl> player_;
};

} // namespace

std::unique_ptr<TMediaControl> MakeMediaPlayer(const std::string& outputSetting) {
    return std::make_unique<TDeferredPlayer>(outputSetting);
}
