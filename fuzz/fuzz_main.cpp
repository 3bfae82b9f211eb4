// The libFuzzer entry of one target, named by TCRATE_FUZZ_TARGET.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const TFuzzTarget* const target = [] {
        const TFuzzTarget* found = FindFuzzTarget(TCRATE_FUZZ_TARGET);
        if (found == nullptr) {
            std::fprintf(stderr, "no fuzz target %s\n", TCRATE_FUZZ_TARGET);
            std::abort();
        }
        return found;
    }();
    target->run(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
