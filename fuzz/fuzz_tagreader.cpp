// Feeds arbitrary bytes to the tag reader as if they were an audio file.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/bytesource.h"
#include "media/mp3tag.h"
#include "media/tagreader.h"

namespace {

const std::string& DataFolder() {
    static const std::string folder = [] {
        std::string pattern = "/tmp/tcrate-fuzz-XXXXXX";
        return std::string(mkdtemp(pattern.data())) + "/";
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const TMediaEnvironment env(DataFolder(), "GB18030");
    TMP3Tag item(env);
    item.SetValue("filename", "/fuzz/input.mp3");
    TMemorySource source(std::string_view(reinterpret_cast<const char*>(data), size));
    TTagReader reader(item, source);
    reader.ReadID3v2();
    reader.ReadID3v1();
    return 0;
}
