#include "media/picturefile.h"

#include <cstdint>
#include <cstdio>

#include "media/textcodec.h"

namespace {

uint64_t Fnv1a64(std::string_view text) {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

// Drops the partial character at the start of a view cut from UTF-8 text.
std::string_view SkipContinuationBytes(std::string_view text) {
    while (!text.empty() && (static_cast<unsigned char>(text.front()) & 0xC0) == 0x80) text.remove_prefix(1);
    return text;
}

} // namespace

std::string PictureFileName(const std::string& audioPath, int n, std::string_view extension) {
    std::string name = audioPath;
    for (char& c : name)
        if (c == '/' || c == ':') c = '.';
    name += '.';
    name += std::to_string(n);
    name += extension;
    if (name.size() > kMaxFileNameBytes) {
        constexpr std::size_t kHead = 70;
        char hash[20];
        std::snprintf(hash, sizeof hash, "~%016llx~", static_cast<unsigned long long>(Fnv1a64(name)));
        const std::string_view whole(name);
        const std::string_view head = CutUtf8(whole, kHead);
        const std::size_t tailBytes = kMaxFileNameBytes - head.size() - 18;
        const std::string_view tail = SkipContinuationBytes(whole.substr(whole.size() - tailBytes));
        name = std::string(head) + hash + std::string(tail);
    }
    return "picture/" + name;
}

std::string PictureMimeType(std::string_view type) {
    if (type.find('/') != std::string_view::npos || type.empty()) return std::string(type);
    if (type.front() == '.') type.remove_prefix(1);
    std::string lower(type);
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    return lower == "jpg" || lower == "jpeg" ? "image/jpeg" : "image/" + lower;
}
