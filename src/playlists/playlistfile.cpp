#include "playlists/playlistfile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/bytesource.h"
#include "core/fileio.h"
#include "core/library.h"
#include "media/mobj.h"
#include "media/tagreader.h"

namespace {

constexpr std::string_view kWplHead = "<?wpl version=\"1.0\"?>\r\n<smil>\r\n<body>\r\n<seq>\r\n";
constexpr std::string_view kWplTail = "</seq>\r\n</body>\r\n</smil>\r\n";
constexpr std::size_t kChunk = 1 << 20;

std::string ReadAll(TByteSource& source) {
    const int64_t size = source.Size();
    std::string bytes;
    // Size() sets the chunks, but the end is where the source gives nothing.
    for (;;) {
        const std::size_t done = bytes.size();
        const auto want = static_cast<std::size_t>(std::clamp<int64_t>(size - static_cast<int64_t>(done), 4096, kChunk));
        bytes.resize(done + want);
        const std::size_t n = source.ReadAt(static_cast<int64_t>(done), bytes.data() + done, want);
        bytes.resize(done + n);
        if (n == 0) return bytes;
    }
}

std::vector<std::string> M3uEntries(std::string_view text) {
    std::vector<std::string> entries;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (!line.empty()) entries.emplace_back(line);
    }
    return entries;
}

void AppendEscaped(std::string& out, std::string_view text) {
    std::size_t run = 0; // start of the bytes not yet appended
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::string_view entity;
        switch (text[i]) {
        case '&': entity = "&amp;"; break;
        case '<': entity = "&lt;"; break;
        case '>': entity = "&gt;"; break;
        case '"': entity = "&quot;"; break;
        case '\'': entity = "&apos;"; break;
        default: continue;
        }
        out.append(text.substr(run, i - run)).append(entity);
        run = i + 1;
    }
    out.append(text.substr(run));
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
        return;
    }
    const int tail = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3; // continuation bytes
    out += static_cast<char>(((0xFF << (7 - tail)) & 0xFF) | (code >> (6 * tail)));
    for (int shift = 6 * (tail - 1); shift >= 0; shift -= 6) out += static_cast<char>(0x80 | ((code >> shift) & 0x3F));
}

// Appends what the reference between '&' and ';' stands for; false, and
// nothing appended, when it is not one.
bool AppendReference(std::string& out, std::string_view name) {
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& [entity, c] : kNamed) {
        if (name == entity) {
            out += c;
            return true;
        }
    }
    if (!name.starts_with('#')) return false;
    name.remove_prefix(1);
    const int base = name.starts_with('x') ? 16 : 10;
    if (base == 16) name.remove_prefix(1);
    uint32_t code = 0;
    const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), code, base);
    if (name.empty() || ec != std::errc() || end != name.data() + name.size()) return false;
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    AppendUtf8(out, code);
    return true;
}

std::string Unescape(std::string_view value) {
    constexpr std::size_t kLongestReference = 16; // "#x" and leading zeros
    std::string out;
    out.reserve(value.size());
    std::size_t pos = 0;
    while (pos < value.size()) {
        const std::size_t amp = value.find('&', pos);
        out.append(value.substr(pos, amp - pos));
        if (amp == std::string_view::npos) break;
        const std::size_t semi = value.substr(amp + 1, kLongestReference + 1).find(';');
        if (semi != std::string_view::npos && AppendReference(out, value.substr(amp + 1, semi))) {
            pos = amp + semi + 2;
        } else {
            out += '&';
            pos = amp + 1;
        }
    }
    return out;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A predicate scan: find_first_of looks each byte up in the set, far slower.
template <class Pred>
std::size_t FindIf(std::string_view text, std::size_t pos, Pred pred) {
    return static_cast<std::size_t>(std::find_if(text.begin() + static_cast<std::ptrdiff_t>(pos), text.end(), pred) -
                                    text.begin());
}

// Reads the attributes of one <media> element, from just after its name, and
// returns where the scan goes on. An element cut short by the end or by a
// '<' inside it is dropped; the scan resumes at that '<'.
std::size_t ReadMedia(std::string_view text, std::size_t pos, std::vector<std::string>& entries) {
    std::optional<std::string> src;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == '>') {
            if (src) entries.push_back(std::move(*src));
            return pos + 1;
        }
        if (c == '<') return pos;
        if (IsSpace(c) || c == '/') {
            ++pos;
            continue;
        }
        // Every turn moves on: a name, or else the '=' it lacks.
        const std::size_t nameStart = pos;
        pos = FindIf(text, pos, [](char n) { return IsSpace(n) || n == '=' || n == '/' || n == '<' || n == '>'; });
        const std::string_view name = text.substr(nameStart, pos - nameStart);
        while (pos < text.size() && IsSpace(text[pos])) ++pos;
        if (pos >= text.size() || text[pos] != '=') continue;
        ++pos;
        while (pos < text.size() && IsSpace(text[pos])) ++pos;
        if (pos >= text.size() || (text[pos] != '"' && text[pos] != '\'')) continue;
        const std::size_t end = FindIf(text, pos + 1, [quote = text[pos]](char v) { return v == quote || v == '<'; });
        if (end == text.size()) break;
        if (text[end] == '<') return end;
        if (name == "src" && !src) src = Unescape(text.substr(pos + 1, end - pos - 1));
        pos = end + 1;
    }
    return text.size();
}

std::vector<std::string> WplEntries(std::string_view text) {
    constexpr std::string_view kMedia = "<media";
    std::vector<std::string> entries;
    std::size_t pos = 0;
    while ((pos = text.find('<', pos)) != std::string_view::npos) {
        const std::string_view rest = text.substr(pos);
        if (rest.starts_with("<!--")) {
            const std::size_t end = text.find("-->", pos + 4);
            pos = end == std::string_view::npos ? text.size() : end + 3;
        } else if (rest.starts_with(kMedia) && rest.size() > kMedia.size() &&
                   (IsSpace(rest[kMedia.size()]) || rest[kMedia.size()] == '/' || rest[kMedia.size()] == '>')) {
            pos = ReadMedia(text, pos + kMedia.size(), entries);
        } else {
            ++pos;
        }
    }
    return entries;
}

// "name (2).ext" for n = 2.
std::string NumberedName(const std::string& name, int n) {
    const std::size_t dot = name.rfind('.');
    const std::string suffix = " (" + std::to_string(n) + ")";
    if (dot == std::string::npos) return name + suffix;
    return name.substr(0, dot) + suffix + name.substr(dot);
}

// Closes the descriptor on every way out unless released.
struct TFd {
    int fd;
    ~TFd() {
        if (fd >= 0) close(fd);
    }
    int Release() { return std::exchange(fd, -1); }
};

int CopyBytes(int in, int out) {
    std::vector<char> buffer(kChunk);
    for (;;) {
        const ssize_t n = read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return 0;
        errno = 0;
        if (!WriteAll(out, {buffer.data(), static_cast<std::size_t>(n)})) return errno != 0 ? errno : EIO;
    }
}

// Copies source to target through the temporary file; 0, or the errno of the
// step that failed, with the temporary file removed.
int CopyThrough(const std::string& source, std::string& temp, const std::string& target) {
    TFd in{open(source.c_str(), O_RDONLY | O_CLOEXEC)};
    struct stat st {};
    if (in.fd < 0 || fstat(in.fd, &st) != 0) return errno;
    TFd out{mkostemp(temp.data(), O_CLOEXEC)};
    if (out.fd < 0) return errno;
    int err = CopyBytes(in.fd, out.fd);
    if (err == 0 && fchmod(out.fd, st.st_mode & 0777) != 0) err = errno;
    if (err == 0 && fsync(out.fd) != 0) err = errno;
    // A failing close can be the first report of a failed write.
    if (close(out.Release()) != 0 && err == 0) err = errno;
    if (err == 0 && rename(temp.c_str(), target.c_str()) != 0) err = errno;
    if (err != 0) {
        unlink(temp.c_str());
        return err;
    }
    SyncFolderOf(target);
    return 0;
}

} // namespace

TPlaylistKind PlaylistKind(std::string_view fileName) {
    if (fileName.ends_with(".m3u")) return TPlaylistKind::M3u;
    if (fileName.ends_with(".wpl")) return TPlaylistKind::Wpl;
    return TPlaylistKind::None;
}

std::string PlaylistText(TPlaylistKind kind, const std::vector<std::string>& fileNames) {
    std::string text;
    if (kind == TPlaylistKind::None) return text;
    std::size_t size = kWplHead.size() + kWplTail.size();
    for (const std::string& name : fileNames) size += name.size() + 20;
    text.reserve(size);
    if (kind == TPlaylistKind::M3u) {
        for (const std::string& name : fileNames) text.append(name).append("\r\n");
        return text;
    }
    text += kWplHead;
    for (const std::string& name : fileNames) {
        text += "<media src=\"";
        AppendEscaped(text, name);
        text += "\"/>\r\n";
    }
    text += kWplTail;
    return text;
}

std::vector<std::string> ReadPlaylistEntries(TPlaylistKind kind, TByteSource& source) {
    switch (kind) {
    case TPlaylistKind::M3u: return M3uEntries(ReadAll(source));
    case TPlaylistKind::Wpl: return WplEntries(ReadAll(source));
    case TPlaylistKind::None: break;
    }
    return {};
}

TMObj* FindPlaylistEntry(const TTUNECRATE& library, const std::string& entry, const std::string& playlistFolder) {
    if (TMObj* item = library.FindByFileName(entry)) return item;
    if (entry.empty() || entry.front() == '/') return nullptr;
    std::string relative = entry;
    // Playlists written on other systems separate folders with backslashes.
    std::replace(relative.begin(), relative.end(), '\\', '/');
    return library.FindByFileName(std::filesystem::path(playlistFolder + relative).lexically_normal().string());
}

void RefreshPlaylistItem(TMObj& item) {
    if (item.GetValue("modified") == "true") return;
    const std::string fileName = item.GetFileName();
    struct stat st {};
    if (stat(fileName.c_str(), &st) != 0) return;
    if (st.st_size != item.GetFileSize() || DosDateTime(st.st_mtime) != item.GetDateModified())
        item.LoadFromFile(fileName);
}

TFileCopier::TFileCopier(std::string folder) : folder_(std::move(folder)) {}

bool TFileCopier::Copy(const std::string& source, std::string* error) {
    const std::string part = source.substr(source.rfind('/') + 1);
    std::string name = part;
    for (int n = 2; taken_.contains(name); ++n) name = NumberedName(part, n);
    std::string temp = folder_ + ".tcrate-copy-XXXXXX";
    if (const int err = CopyThrough(source, temp, folder_ + name); err != 0) {
        if (error != nullptr) *error = std::generic_category().message(err);
        return false;
    }
    taken_.insert(name);
    return true;
}
