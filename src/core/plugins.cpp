#include "core/plugins.h"

#include "media/mp3tag.h"
#include "media/wmaobj.h"

TPlugIns::TPlugIns(const TMediaEnvironment& env)
    : env_(env), filterList_{".mp3=mp3 files(*.mp3)", ".mp2=mp2 files(*.mp2)"} {}

std::unique_ptr<TMObj> TPlugIns::CreateItemFor(const std::string& extension) const {
    std::string lower = extension;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    if (lower == ".mp3" || lower == ".mp2") return std::make_unique<TMP3Tag>(env_);
    if (lower == ".wma") return std::make_unique<TWMAObj>(env_);
    return nullptr;
}

std::vector<std::string> TPlugIns::ScanExtensions() const {
    std::vector<std::string> extensions;
    for (const std::string& line : filterList_) extensions.push_back(line.substr(0, line.find('=')));
    return extensions;
}
