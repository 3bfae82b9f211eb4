#include "core/paths.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

std::string WithTrailingSlash(std::string path) {
    if (path.empty() || path.back() != '/') path.push_back('/');
    return path;
}

std::string ProgramFolder() {
    std::string buffer(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0) return "./";
    buffer.resize(static_cast<std::size_t>(n));
    return buffer.substr(0, buffer.rfind('/') + 1);
}

bool MakeFolders(const std::string& path) {
    std::string partial;
    for (std::size_t pos = 0; pos <= path.size();) {
        std::size_t slash = path.find('/', pos);
        if (slash == std::string::npos) slash = path.size();
        partial = path.substr(0, slash);
        if (!partial.empty() && mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
        pos = slash + 1;
    }
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string DataFolder() {
    const std::string program = ProgramFolder();
    if (access(program.c_str(), W_OK) == 0) return program;
    std::string base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        base = std::string(home) + "/.local/share";
    } else {
        return program;
    }
    const std::string folder = WithTrailingSlash(base) + "tunecrate/";
    MakeFolders(folder);
    return folder;
}

std::string ResourceFolder() {
    const std::string program = ProgramFolder();
    struct stat st {};
    if (stat((program + "Skins").c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return program;
    return program + "../share/tunecrate/";
}

std::string FileNamePart(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::string FileExtension(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return path.substr(dot);
}
