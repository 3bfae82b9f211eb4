#include "core/tempfolder.h"

#include <cstdlib>
#include <filesystem>

TTemporaryFolder::TTemporaryFolder(const std::string& prefix) {
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) return;
    std::string pattern = (base / (prefix + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern + "/";
}

TTemporaryFolder::~TTemporaryFolder() {
    std::error_code ignored;
    if (!path_.empty() && !kept_) std::filesystem::remove_all(path_, ignored);
}
