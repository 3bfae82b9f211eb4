#include "tools/datafolder.h"

#include "core/paths.h"

TDataFolder::TDataFolder(const std::string& given) {
    if (given.empty()) {
        temporary_.emplace("tcrate-inspect");
    } else {
        given_ = WithTrailingSlash(given);
    }
}
