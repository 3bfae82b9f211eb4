#include "media/tagwriter.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <mutex>
#include <fcntl.h>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unordered_set>
#include <unistd.h>
#include <utility>

#include "core/bytesource.h"
#include "core/fileio.h"
#include "core/sysinfo.h"
#include "media/id3frames.h"
#include "media/mp3const.h"
#include "media/mp3tag.h"
#include "media/picturefile.h"
#include "media/tagreader.h"
#include "media/textcodec.h"

namespace {

constexpr std::size_t kCopyBlock = 1 << 20;
constexpr std::size_t kPadding = 10;
constexpr int64_t kMaxTagSize = 0x0FFFFFFF; // what a sync-safe size holds
constexpr int kDefaultPictureType = 11;
// The new file beside the music while it is written.
constexpr std::string_view kTempPrefix = ".tcrate-";

// Value names written under another frame identifier.
constexpr std::pair<std::string_view, std::string_view> kAliases[] = {
    {"artist", "TPE1"}, {"year", "TYER"}, {"genres", "TCON"}, {"title", "TIT2"}, {"album", "TALB"},
};

// The frame a value line becomes; empty for names that are no frame. Other
// names must be a valid identifier: one that is not would end the frames for
// every reader.
std::string_view FrameIdOf(std::string_view name) {
    for (const auto& [alias, id] : kAliases)
        if (name == alias) return id;
    if (name.size() != 4 || name == "APIC") return {};
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return {};
    return name;
}

char EncodingOf(std::string_view text) { return IsAscii(text) ? '\0' : '\1'; }
std::string Encode(char encoding, std::string_view text) {
    return encoding == 0 ? std::string(text) : Utf8ToUtf16(text);
}
std::string Terminator(char encoding) { return std::string(encoding == 0 ? 1 : 2, '\0'); }

// Lyrics keep "\n" (the two characters) between lines; the frame holds line breaks.
std::string LyricLines(std::string_view text) {
    std::string out;
    for (std::size_t pos = 0;;) {
        const std::size_t cut = text.find("\\n", pos);
        out.append(text.substr(pos, cut == std::string_view::npos ? cut : cut - pos));
        if (cut == std::string_view::npos) return out;
        out.append("\r\n");
        pos = cut + 2;
    }
}

std::string FrameBody(std::string_view id, std::string_view text) {
    if (id == "WXXX") return std::string(2, '\0') + std::string(text); // encoding 0, no description
    if (id[0] == 'W') return std::string(text);
    const char encoding = EncodingOf(text);
    if (id == "COMM" || id == "USLT")
        return encoding + std::string("eng") + Encode(encoding, "") + Terminator(encoding) + Encode(encoding, text);
    return encoding + Encode(encoding, text);
}

struct TValueFrames {
    std::string bytes;
    // The first value written under each identifier.
    std::map<std::string, std::string, std::less<>> values;
};

TValueFrames ValueFrames(const TMP3Tag& item) {
    TValueFrames frames;
    item.Values().ForEach([&](std::string_view name, std::string_view value) {
        const std::string_view id = FrameIdOf(name);
        if (id.empty() || value.empty()) return;
        frames.values.emplace(id, value);
        frames.bytes += Version3Frame(id, FrameBody(id, id == "USLT" ? LyricLines(item.GetValue("USLT")) : value));
    });
    return frames;
}

// An item of the same file, for reading its old tag apart from the item.
TMP3Tag Apart(const TMP3Tag& item) {
    TMP3Tag read(item.Environment());
    read.SetValue("filename", item.GetFileName());
    return read;
}

// Frames the old tag held and the item did not read are carried over while
// the item's value of their identifier is still the one the tag gives; the
// item's own frame replaces them once it differs. Described comments are
// other programs' notes beside the comment and always stay.
std::string CarriedFrames(const TMP3Tag& item, TFileSource& old, const TValueFrames& written) {
    TMP3Tag read = Apart(item);
    TTagReader reader(read, old);
    std::string carried;
    for (const TUnreadFrame& frame : reader.CollectUnreadFrames()) {
        const auto now = written.values.find(frame.id);
        if (frame.id == "COMM" ||
            (now == written.values.end() ? std::string_view() : now->second) == read.Values().GetView(frame.id))
            carried += frame.bytes;
    }
    return carried;
}

struct TPicture {
    std::string head; // frame header and the body up to the picture data
    TFileSource file;
    std::string carried; // the data of the old tag, when the picture file has gone
    int64_t Size() const { return file.IsOpen() ? file.Size() : static_cast<int64_t>(carried.size()); }
};

int32_t NumberOr(std::string_view text, int32_t fallback) {
    int32_t number = 0;
    return ParseInt32(text, number) ? number : fallback;
}

void AddPictures(const TMP3Tag& item, TFileSource& old, std::deque<TPicture>& pictures) {
    const TValueList& values = item.Values();
    // A count past the number of lines cannot be met by picture keys.
    const auto count = static_cast<int32_t>(
        std::min<int64_t>(NumberOr(values.GetView("APIC.num"), 0), static_cast<int64_t>(values.Count())));
    std::optional<std::vector<std::pair<std::string, std::string>>> oldPictures;
    for (int32_t n = 0; n < count; ++n) {
        const std::string key = "APIC." + std::to_string(n);
        const std::string fileName = values.Get(key + ".filename");
        TPicture& picture = pictures.emplace_back();
        if (!picture.file.Open(item.Environment().DataFolder + fileName)) {
            // The picture file has gone (the data folder was cleaned or moved):
            // the cover the audio file holds stays.
            if (!oldPictures) {
                TMP3Tag read = Apart(item);
                oldPictures = TTagReader(read, old).CollectPictureData();
            }
            const auto found = std::find_if(oldPictures->begin(), oldPictures->end(),
                                            [&](const auto& entry) { return entry.first == fileName; });
            if (found == oldPictures->end()) {
                pictures.pop_back();
                continue;
            }
            picture.carried = std::move(found->second);
        }
        const std::string description = values.Get(key + ".description");
        int32_t type = NumberOr(values.GetView(key + ".pictype"), kDefaultPictureType);
        if (type < 0 || type > 255) type = kDefaultPictureType;
        const char encoding = EncodingOf(description);
        const std::string body = encoding + PictureMimeType(values.GetView(key + ".mimetype")) + '\0' +
                                 static_cast<char>(type) + Encode(encoding, description) + Terminator(encoding);
        // The size counts the whole body, the picture data included (a tag
        // too large for any size is refused as a whole).
        const int64_t size = static_cast<int64_t>(body.size()) + picture.Size();
        picture.head = Version3FrameHeader("APIC", static_cast<uint32_t>(size)) + body;
    }
}

std::string Id3v1Tag(const TMP3Tag& item) {
    const TLegacyCodec& codec = item.Environment().Codec;
    std::string tag = "TAG";
    auto field = [&](std::string_view text, std::size_t width) {
        std::string bytes = codec.FromUtf8(text, width);
        bytes.resize(width, '\0');
        tag += bytes;
    };
    field(item.GetTitle(), 30);
    field(item.GetArtist(), 30);
    field(item.GetAlbum(), 30);
    field(item.GetYear(), 4);
    field(item.GetComment(), 30);
    const std::string genres = item.GetValue("genres");
    tag += static_cast<char>(GenreIndex(genres.empty() ? item.GenreOrDefault() : genres));
    return tag;
}

bool CopyRange(TByteSource& source, int64_t from, int64_t to, int fd, std::string& buffer) {
    while (from < to) {
        const auto want = static_cast<std::size_t>(std::min<int64_t>(to - from, static_cast<int64_t>(buffer.size())));
        const std::size_t got = source.ReadAt(from, buffer.data(), want);
        if (got == 0 || !WriteAll(fd, std::string_view(buffer.data(), got))) return false;
        from += static_cast<int64_t>(got);
    }
    return true;
}

// Everything the new file is made of.
struct TNewFile {
    std::string tag; // value frames and carried frames
    std::deque<TPicture> pictures;
    TFileSource* old = nullptr;
    int64_t audioStart = 0;
    int64_t audioEnd = 0;
    std::string id3v1;

    int64_t TagSize() const {
        int64_t size = static_cast<int64_t>(tag.size() + kPadding);
        for (const TPicture& picture : pictures)
            size += static_cast<int64_t>(picture.head.size()) + picture.Size();
        return size;
    }

    bool WriteTo(int fd) {
        // A block, or less when nothing copied is that long: most tags are
        // written for files of a few megabytes at most.
        int64_t longest = audioEnd - audioStart;
        for (const TPicture& picture : pictures)
            if (picture.file.IsOpen()) longest = std::max(longest, picture.file.Size());
        std::string buffer(static_cast<std::size_t>(std::clamp<int64_t>(longest, 1, kCopyBlock)), '\0');
        const auto size = static_cast<uint32_t>(TagSize());
        if (!WriteAll(fd, std::string("ID3\3\0\0", 6) + SyncSafeBytes(size)) || !WriteAll(fd, tag)) return false;
        for (TPicture& picture : pictures) {
            if (!WriteAll(fd, picture.head)) return false;
            if (picture.file.IsOpen() ? !CopyRange(picture.file, 0, picture.file.Size(), fd, buffer)
                                      : !WriteAll(fd, picture.carried))
                return false;
        }
        return WriteAll(fd, std::string(kPadding, '\0')) && CopyRange(*old, audioStart, audioEnd, fd, buffer) &&
               WriteAll(fd, id3v1);
    }
};

// Root may write anywhere; a file or folder without any write bit is still
// read-only, as its owner marked it.
bool Writable(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) != 0 &&
           faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// The new file is made under a temporary name in the folder and renamed over
// the old one with its permissions and owner.
bool ReplaceByRename(TNewFile& file, int fd, const std::string& temp, const std::string& path, const struct stat& st) {
    bool ok = file.WriteTo(fd);
    if (ok && fchown(fd, st.st_uid, st.st_gid) != 0 && errno != EPERM) ok = false;
    ok = ok && fchmod(fd, st.st_mode & 07777) == 0 && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        unlink(temp.c_str());
        return false;
    }
    SyncFolderOf(path);
    return true;
}

bool SameContents(TFileSource& a, const std::string& path) {
    TFileSource b;
    if (!b.Open(path) || b.Size() != a.Size()) return false;
    std::string x(kCopyBlock, '\0'), y(kCopyBlock, '\0');
    for (int64_t pos = 0; pos < a.Size();) {
        const std::size_t got = a.ReadAt(pos, x.data(), x.size());
        if (got == 0 || b.ReadAt(pos, y.data(), got) != got || std::memcmp(x.data(), y.data(), got) != 0) return false;
        pos += static_cast<int64_t>(got);
    }
    return true;
}

constexpr const char* kCopyName = "temp.dat";
// Beside the copy while it is written over its audio file: that file's path.
constexpr const char* kCopyTargetName = "temp.dat.target";

// Makes sure the file can grow to size without running out of room half way.
bool ReserveRoom(int fd, int64_t size) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return false;
    if (size <= st.st_size) return true;
    const int reserved = fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size);
    if (reserved == 0) return true;
    if (errno != EOPNOTSUPP && errno != ENOSYS) return false;
    // A file system that cannot reserve: at least the room must be free now.
    struct statvfs fs {};
    return fstatvfs(fd, &fs) == 0 &&
           static_cast<int64_t>(fs.f_bavail) * static_cast<int64_t>(fs.f_frsize) > size - st.st_size + (1 << 20);
}

// The new file is made whole in the data folder first, room for it is
// reserved, and only then is it written over the old one, cut to its
// length, flushed, and read back. Until the file is whole the copy stays,
// with a note of which file it belongs to.
TTagWriteResult ReplaceByCopy(TNewFile& file, const std::string& dataFolder, const std::string& path) {
    std::string pendingTarget;
    if (!PendingTagCopy(dataFolder, pendingTarget).empty()) return TTagWriteResult::NotWritten;
    const std::string temp = dataFolder + kCopyName;
    const std::string note = dataFolder + kCopyTargetName;
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return TTagWriteResult::NotWritten;
    bool ok = file.WriteTo(fd) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    TFileSource made;
    ok = ok && made.Open(temp);
    const int target = ok ? open(path.c_str(), O_WRONLY | O_CLOEXEC) : -1;
    // The note is whole or absent: it is renamed into place, flushed.
    ok = ok && target >= 0 && ReserveRoom(target, made.Size()) && ReplaceFileContents(note, path);
    if (!ok) {
        if (target >= 0) close(target);
        unlink(note.c_str());
        unlink(temp.c_str());
        return TTagWriteResult::NotWritten;
    }
    std::string buffer(kCopyBlock, '\0');
    ok = CopyRange(made, 0, made.Size(), target, buffer) && ftruncate(target, made.Size()) == 0 && fsync(target) == 0;
    ok = close(target) == 0 && ok;
    if (!ok || !SameContents(made, path)) return TTagWriteResult::CopyKept;
    unlink(note.c_str());
    unlink(temp.c_str());
    return TTagWriteResult::Written;
}

// Temporary files of ours that a killed write left in a folder go the first
// time this process writes a tag there.
void RemoveLeftovers(const std::string& folder) {
    static std::mutex mutex;
    static std::unordered_set<std::string> cleaned;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!cleaned.insert(folder).second) return;
    }
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() == kTempPrefix.size() + 6 && name.starts_with(kTempPrefix))
            RemoveOwnLeftover(folder + std::string(name));
    }
    closedir(dir);
}

} // namespace

TTagWriteResult WriteTags(const TMP3Tag& item) {
    constexpr TTagWriteResult kNotWritten = TTagWriteResult::NotWritten;
    char resolved[PATH_MAX];
    if (realpath(item.GetFileName().c_str(), resolved) == nullptr) return kNotWritten;
    const std::string path = resolved;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !Writable(path)) return kNotWritten;
    TFileSource old;
    if (!old.Open(path)) return kNotWritten;

    TNewFile file;
    file.old = &old;
    TSourceWindow window(old);
    file.audioStart = TId3v2Frames(window).End();
    file.audioEnd = old.Size();
    if (file.audioStart > file.audioEnd) return kNotWritten;
    char last[3] = {};
    if (file.audioEnd - file.audioStart >= 128 && old.ReadAt(file.audioEnd - 128, last, 3) == 3 &&
        std::memcmp(last, "TAG", 3) == 0)
        file.audioEnd -= 128;

    const TValueFrames frames = ValueFrames(item);
    file.tag = frames.bytes + CarriedFrames(item, old, frames);
    AddPictures(item, old, file.pictures);
    file.id3v1 = Id3v1Tag(item);
    if (file.TagSize() > kMaxTagSize) return kNotWritten;

    const std::string folder = path.substr(0, path.rfind('/') + 1);
    if (Writable(folder)) {
        RemoveLeftovers(folder);
        std::string temp = folder + std::string(kTempPrefix) + "XXXXXX";
        const int fd = mkostemp(temp.data(), O_CLOEXEC);
        if (fd >= 0) return ReplaceByRename(file, fd, temp, path, st) ? TTagWriteResult::Written : kNotWritten;
        if (errno != EACCES && errno != EPERM && errno != EROFS) return kNotWritten;
    }
    return ReplaceByCopy(file, item.Environment().DataFolder, path);
}

std::string PendingTagCopy(const std::string& dataFolder, std::string& target) {
    target.clear();
    const std::string temp = dataFolder + kCopyName;
    const std::string note = dataFolder + kCopyTargetName;
    RemoveOwnLeftover(note + ".new");
    if (!PathExists(temp)) {
        unlink(note.c_str());
        return {};
    }
    std::string named;
    if (!ReadWholeFile(note, named)) {
        // Without a note the copy never began: its audio file is untouched.
        RemoveOwnLeftover(temp);
        return {};
    }
    TFileSource made;
    if (made.Open(temp) && SameContents(made, named)) {
        unlink(note.c_str());
        unlink(temp.c_str());
        return {};
    }
    target = named;
    return temp;
}
