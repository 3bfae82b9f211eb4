#pragma once

#include <string>

// A fresh folder under the system's temporary folder ($TMPDIR, else /tmp),
// removed with everything in it when the object goes.
class TTemporaryFolder {
public:
    // The folder's name starts with the prefix.
    explicit TTemporaryFolder(const std::string& prefix);
    ~TTemporaryFolder();
    TTemporaryFolder(const TTemporaryFolder&) = delete;
    TTemporaryFolder& operator=(const TTemporaryFolder&) = delete;

    // Ends with "/"; empty when the folder could not be made.
    const std::string& Path() const { return path_; }
    // Leaves the folder in place when the object goes (it holds something the
    // user must still get).
    void Keep() { kept_ = true; }

private:
    std::string path_;
    bool kept_ = false;
};
