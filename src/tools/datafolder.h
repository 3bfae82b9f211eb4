#pragma once

#include <optional>
#include <string>

#include "core/tempfolder.h"

// The data folder of a command: the one given, else a temporary folder that
// is removed with everything in it afterwards.
class TDataFolder {
public:
    explicit TDataFolder(const std::string& given);

    // Ends with "/"; empty when no temporary folder could be made.
    const std::string& Path() const { return temporary_ ? temporary_->Path() : given_; }
    // A temporary folder is left in place.
    void Keep() {
        if (temporary_) temporary_->Keep();
    }

private:
    std::string given_;
    std::optional<TTemporaryFolder> temporary_;
};
