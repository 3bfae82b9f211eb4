#pragma once

#include <string>

#include "core/tempfolder.h"

// A temporary folder for one test, removed with its contents afterwards.
class TempDir : public TTemporaryFolder {
public:
    TempDir();

    std::string operator/(const std::string& name) const { return Path() + name; }
};
