#include "corpus.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <stdexcept>
#include <string_view>
#include <unistd.h>

#include "core/paths.h"
#include "mp3builder.h"

TBenchFolder::TBenchFolder() : TTemporaryFolder("tcrate-bench") {
    if (Path().empty()) throw std::runtime_error("cannot create a temporary folder");
}

namespace {

// splitmix64: the corpus must not depend on the standard library's generators.
class TRandom {
public:
    explicit TRandom(uint64_t seed) : state_(seed) {}

    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
    int Between(int low, int high) { return low + Below(high - low + 1); }
    template <typename T, std::size_t N>
    const T& Pick(const T (&items)[N]) { return items[Next() % N]; }

private:
    uint64_t state_;
};

constexpr std::string_view kWords[] = {
    "Blue",   "Morning", "River",  "Silent", "Fire",   "Road",    "Midnight", "Summer", "Glass",  "Heart",
    "Golden", "Rain",    "City",   "Lights", "Winter", "Echo",    "Wild",     "Garden", "Stone",  "Ocean",
    "Paper",  "Moon",    "Shadow", "Dance",  "Velvet", "Highway", "Little",   "Storm",  "Silver", "Home",
    "Broken", "Sky",     "Yellow", "Train",  "Dream",  "Electric", "Northern", "Song",  "Angel",  "Desert",
};
constexpr std::string_view kChineseWords[] = {
    "夜曲", "晴天", "月光", "星空", "海边", "故乡", "春风", "雨后", "远方", "花开", "城市", "旧梦", "山谷", "灯火",
};
constexpr std::string_view kGenres[] = {
    "Rock", "Pop", "Jazz", "(17)", "(13)", "Classical", "Electronic", "Folk", "Hip-Hop", "(8)Jazz", "Blues", "Soundtrack",
};

struct TName {
    std::string text;
    int encoding = 0; // Chinese text is written as UTF-16
};

TName Phrase(TRandom& rng, int words, bool chinese) {
    TName name;
    if (chinese) {
        for (int i = 0; i < std::min(words, 3); ++i) name.text += rng.Pick(kChineseWords);
        name.encoding = 1;
        return name;
    }
    for (int i = 0; i < words; ++i) {
        if (i > 0) name.text += ' ';
        name.text += rng.Pick(kWords);
    }
    return name;
}

// What an ID3v1 tag can hold of a name: Latin text, else the fallback.
std::string_view Id3v1Text(const TName& name, std::string_view fallback) {
    return name.encoding == 0 ? std::string_view(name.text) : fallback;
}

std::string Lyrics(TRandom& rng, bool chinese) {
    std::string text;
    const int lines = rng.Between(4, 12);
    for (int i = 0; i < lines; ++i) {
        if (i > 0) text += "\r\n";
        text += Phrase(rng, rng.Between(3, 7), chinese).text;
    }
    return text;
}

// Folder names repeat among random names; a number keeps each artist apart.
TName UniqueArtist(TRandom& rng, std::map<std::string, int>& seen) {
    TName artist = Phrase(rng, rng.Between(1, 3), rng.Below(6) == 0);
    const int n = ++seen[artist.text];
    if (n > 1) artist.text += " " + std::to_string(n);
    return artist;
}

struct TAlbum {
    TName artist;
    TName name;
    int year;
    int tracks;
    std::string folder;
};

int64_t WriteTrack(TRandom& rng, const TAlbum& album, int track, unsigned pictureSeed, TCorpusFile& file) {
    const bool chinese = rng.Below(8) == 0;
    const TName title = Phrase(rng, rng.Between(1, 4), chinese);
    char number[16];
    std::snprintf(number, sizeof number, "%02d", track);
    file.path = album.folder + number + " - " + title.text + ".mp3";
    file.title = title.text;

    mp3::Tag tag(3);
    tag.Text("TIT2", title.text, title.encoding)
        .Text("TPE1", album.artist.text, album.artist.encoding)
        .Text("TALB", album.name.text, album.name.encoding)
        .Text("TYER", std::to_string(album.year))
        .Text("TCON", rng.Pick(kGenres))
        .Text("TRCK", std::to_string(track) + "/" + std::to_string(album.tracks))
        .Frame("COMM", mp3::CommentBody(0, "eng", "", Phrase(rng, rng.Between(2, 6), false).text));
    if (rng.Below(10) == 0) tag.Frame("USLT", mp3::CommentBody(title.encoding, "eng", "", Lyrics(rng, chinese)));
    if (rng.Below(5) == 0) tag.Frame("APIC", mp3::PictureBody(0, "image/jpeg", 3, "", mp3::JpegData(20480, pictureSeed)));
    std::string bytes = tag.Padding(256).Build();
    // Frames alternate between 417 and 418 bytes.
    bytes += mp3::Frames(rng.Between(100 * 1024, 400 * 1024) * 2 / 835);
    if (rng.Below(3) == 0) {
        bytes += mp3::Id3v1(Id3v1Text(title, std::string("Track ") + number), Id3v1Text(album.artist, "Unknown"),
                            Id3v1Text(album.name, "Unknown"), std::to_string(album.year), "tcrate-bench",
                            static_cast<unsigned char>(rng.Below(80)));
    }
    if (!mp3::WriteFile(file.path, bytes)) throw std::runtime_error("cannot write " + file.path);
    return static_cast<int64_t>(bytes.size());
}

} // namespace

TCorpus GenerateCorpus(const std::string& root, int count) {
    TRandom rng(0x7C3A5E1F00D5EEDULL);
    TCorpus corpus;
    corpus.files.reserve(static_cast<std::size_t>(count));
    std::map<std::string, int> artistNames;
    const int64_t artists = std::max(1, count / 50);
    for (int64_t a = 0; a < artists; ++a) {
        // Spreads the remainder over the artists instead of piling it on the last.
        int left = static_cast<int>(count * (a + 1) / artists - count * a / artists);
        TAlbum album{UniqueArtist(rng, artistNames), {}, rng.Between(1965, 2010), 0, {}};
        const std::string artistFolder = root + album.artist.text + "/";
        while (left > 0) {
            album.name = Phrase(rng, rng.Between(1, 3), album.artist.encoding != 0);
            album.year += rng.Between(1, 3); // a year apiece keeps the album folders apart
            album.tracks = std::min(rng.Between(8, 14), left);
            album.folder = artistFolder + std::to_string(album.year) + " - " + album.name.text + "/";
            if (!MakeFolders(album.folder)) throw std::runtime_error("cannot create " + album.folder);
            for (int track = 1; track <= album.tracks; ++track) {
                TCorpusFile file;
                corpus.bytes += WriteTrack(rng, album, track, static_cast<unsigned>(corpus.files.size() + 1), file);
                corpus.files.push_back(std::move(file));
            }
            left -= album.tracks;
        }
    }
    return corpus;
}

void FlushToDisk(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    syncfs(fd);
    close(fd);
}
