#include "tempdir.h"

#include <stdexcept>

TempDir::TempDir() : TTemporaryFolder("tcrate-test") {
    if (Path().empty()) throw std::runtime_error("cannot create a temporary folder");
}
