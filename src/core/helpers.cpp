#include "core/helpers.h"

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>

#include "core/plugins.h"
#include "core/valuelist.h"

std::string SizeText(int32_t bytes) {
    char text[32];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%d B", bytes);
    } else if (bytes < 1048576) {
        std::snprintf(text, sizeof text, "%.2f KB", bytes / 1024.0);
    } else if (bytes < 1073741824) {
        std::snprintf(text, sizeof text, "%.2f MB", bytes / 1048576.0);
    } else {
        std::snprintf(text, sizeof text, "%.2f GB", bytes / 1073741824.0);
    }
    return text;
}

std::string DurationText(int32_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d", seconds / 60, seconds % 60);
    return text;
}

std::string FrequencyText(int32_t hz) {
    if (hz <= 0) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%d.%03d kHz", hz / 1000, hz % 1000);
    return text;
}

std::string BitrateText(int32_t kbps) {
    if (kbps <= 0) return {};
    return std::to_string(kbps) + " kbps";
}

std::string UrlEncode(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 128 || c == ' ' || c == '*' || c == '#' || c == '%' || c == '<' || c == '>') {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 15]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

namespace {

bool EndsWithIgnoringCase(const std::string& name, const std::string& suffix) {
    if (name.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char a = name[name.size() - suffix.size() + i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + ('a' - 'A'));
        if (a != suffix[i]) return false;
    }
    return true;
}

// Name order as a person reads it: letter case aside first, then bytes.
bool NameOrder(const std::string& a, const std::string& b) {
    const int folded = CompareIgnoringAsciiCase(a, b);
    return folded != 0 ? folded < 0 : a < b;
}

void ScanInto(std::vector<std::string>& list, const std::string& folder, const std::vector<std::string>& extensions) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return;
    std::vector<std::string> files;
    std::vector<std::string> folders;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN || type == DT_LNK) {
            // A link counts as what it points to, except that a link to a
            // folder is not entered (it may lead back up the tree).
            struct stat st {};
            const std::string path = folder + name;
            if (lstat(path.c_str(), &st) != 0) continue;
            if (S_ISLNK(st.st_mode)) {
                type = (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ? DT_REG : DT_LNK;
            } else {
                type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
            }
        }
        if (type == DT_REG) {
            files.push_back(name);
        } else if (type == DT_DIR && name.front() != '.') {
            folders.push_back(name);
        }
    }
    closedir(dir);
    std::sort(files.begin(), files.end(), NameOrder);
    std::sort(folders.begin(), folders.end(), NameOrder);
    for (const std::string& extension : extensions)
        for (const std::string& name : files)
            if (EndsWithIgnoringCase(name, extension)) list.push_back(folder + name);
    for (const std::string& name : folders) ScanInto(list, folder + name + "/", extensions);
}

} // namespace

int ScanFolder(std::vector<std::string>& list, const std::string& folder, const TPlugIns& registry) {
    ScanInto(list, folder, registry.ScanExtensions());
    return static_cast<int>(list.size());
}
