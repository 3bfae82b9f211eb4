#pragma once

#include <memory>
#include <string>
#include <vector>

class TMObj;
struct TMediaEnvironment;

// The format registry: which file extensions the program handles, and the
// item kind for each.
class TPlugIns {
public:
    explicit TPlugIns(const TMediaEnvironment& env);

    // ".mp3=mp3 files(*.mp3)" and ".mp2=mp2 files(*.mp2)": the add-files
    // filter and the folder scan. ".wma" is handled but not listed.
    const std::vector<std::string>& FilterList() const { return filterList_; }

    // A new, empty item for an extension (dot included, any letter case);
    // none for an extension the program does not handle.
    std::unique_ptr<TMObj> CreateItemFor(const std::string& extension) const;

    // The extensions of FilterList, in order.
    std::vector<std::string> ScanExtensions() const;

private:
    const TMediaEnvironment& env_;
    std::vector<std::string> filterList_;
};
