// Feeds arbitrary bytes to the database parser, and its tree texts to a box.
#include <cstdint>
#include <string_view>

#include "core/box.h"
#include "core/database.h"
#include "core/treetext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const TDatabaseImage image = ParseDatabase(std::string_view(reinterpret_cast<const char*>(data), size));
    TBOX box("artist");
    for (std::string_view tree : image.trees) ApplyTreeText(box, tree);
    return 0;
}
