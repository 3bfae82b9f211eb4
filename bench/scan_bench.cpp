#include "scan_bench.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

#include "core/helpers.h"
#include "core/paths.h"
#include "core/plugins.h"
#include "corpus.h"
#include "media/mediaenv.h"
#include "media/mobj.h"
#include "options.h"
#include "timing.h"

#ifdef TCRATE_HAVE_TAGLIB
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/unsynchronizedlyricsframe.h>
#endif

namespace {

constexpr int kRuns = 3;
constexpr int kMaxFiles = 1000000;
constexpr int kSanitySamples = 8;

constexpr const char* kUsage =
    "usage: tcrate-bench scan [--files N] [--json]\n"
    "\n"
    "Writes N MP3 files (about 250 KB each) to a temporary folder and times\n"
    "reading their tags, each pass the fastest of 3 runs on files in the page cache:\n"
    "  floor      the bare reads the tags need: ID3v2 header and body, the first\n"
    "             frame header and the last 128 bytes, from the list of files\n"
    "  tunecrate  a folder scan, then LoadFromFile for every file found, its\n"
    "             pictures saved to files\n"
    "  taglib     TagLib reading the tag values, audio properties and lyrics, and\n"
    "             saving the pictures to files\n"
    "The folder is removed afterwards.\n"
    "\n"
    "options:\n"
    "  --files N  number of files, 1 to 1000000 (default 5000)\n"
    "  --json     print one JSON object: files and files per second of each pass\n"
    "             (taglib null when built without TagLib)\n";

// The least any tag reader must do with a file. Without a folder scan, since
// the list is at hand.
int FloorPass(const TCorpus& corpus) {
    std::string body;
    int failures = 0;
    for (const TCorpusFile& file : corpus.files) {
        const int fd = open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            ++failures;
            continue;
        }
        unsigned char header[10];
        bool ok = read(fd, header, sizeof header) == sizeof header;
        if (ok) {
            const uint32_t size = (header[6] & 0x7Fu) << 21 | (header[7] & 0x7Fu) << 14 | (header[8] & 0x7Fu) << 7 |
                                  (header[9] & 0x7Fu);
            body.resize(size);
            unsigned char frame[4];
            char tail[128];
            struct stat st {};
            ok = read(fd, body.data(), size) == static_cast<ssize_t>(size) &&
                 pread(fd, frame, sizeof frame, 10 + static_cast<off_t>(size)) == sizeof frame &&
                 fstat(fd, &st) == 0 && st.st_size >= 128 &&
                 pread(fd, tail, sizeof tail, st.st_size - 128) == sizeof tail;
        }
        close(fd);
        if (!ok) ++failures;
    }
    return failures;
}

// Files the scan missed count as failures too.
int TunecratePass(const std::string& root, const TPlugIns& registry, std::size_t expected) {
    std::vector<std::string> paths;
    ScanFolder(paths, root, registry);
    int failures = static_cast<int>(paths.size() > expected ? paths.size() - expected : expected - paths.size());
    for (const std::string& path : paths) {
        const std::unique_ptr<TMObj> item = registry.CreateItemFor(FileExtension(path));
        if (item == nullptr || item->LoadFromFile(path) != 0) ++failures;
    }
    return failures;
}

std::string TunecrateTitle(const std::string& path, const TPlugIns& registry) {
    const std::unique_ptr<TMObj> item = registry.CreateItemFor(FileExtension(path));
    return item != nullptr && item->LoadFromFile(path) == 0 ? item->GetTitle() : std::string();
}

#ifdef TCRATE_HAVE_TAGLIB

// What a library manager takes from a file through TagLib.
struct TTagLibValues {
    bool ok = false;
    std::string title, artist, album, genre, comment, lyrics;
    unsigned year = 0;
    int bitrate = 0, sampleRate = 0, channels = 0, seconds = 0;
};

bool WritePicture(const std::string& path, const TagLib::ByteVector& data) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    const bool written = write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
    return close(fd) == 0 && written;
}

// Pictures go to pictureStem + ".N.jpg" (or ".png"), as Tunecrate saves them.
TTagLibValues ReadWithTagLib(const std::string& path, const std::string& pictureStem) {
    TTagLibValues values;
    TagLib::MPEG::File file(path.c_str(), true, TagLib::AudioProperties::Average);
    const TagLib::Tag* tag = file.tag();
    const TagLib::AudioProperties* audio = file.audioProperties();
    if (!file.isValid() || tag == nullptr || audio == nullptr) return values;
    values.title = tag->title().to8Bit(true);
    values.artist = tag->artist().to8Bit(true);
    values.album = tag->album().to8Bit(true);
    values.genre = tag->genre().to8Bit(true);
    values.comment = tag->comment().to8Bit(true);
    values.year = tag->year();
    values.bitrate = audio->bitrate();
    values.sampleRate = audio->sampleRate();
    values.channels = audio->channels();
    values.seconds = audio->lengthInSeconds();
    values.ok = true;
    if (TagLib::ID3v2::Tag* id3v2 = file.ID3v2Tag()) {
        int n = 0;
        for (TagLib::ID3v2::Frame* frame : id3v2->frameList("APIC")) {
            const auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
            if (picture == nullptr) continue;
            const char* extension = picture->mimeType() == "image/png" ? ".png" : ".jpg";
            values.ok = WritePicture(pictureStem + "." + std::to_string(n++) + extension, picture->picture()) && values.ok;
        }
        for (TagLib::ID3v2::Frame* frame : id3v2->frameList("USLT"))
            if (const auto* lyrics = dynamic_cast<TagLib::ID3v2::UnsynchronizedLyricsFrame*>(frame))
                values.lyrics += lyrics->text().to8Bit(true);
    }
    return values;
}

int TagLibPass(const TCorpus& corpus, const std::string& pictureFolder) {
    int failures = 0;
    for (std::size_t i = 0; i < corpus.files.size(); ++i)
        if (!ReadWithTagLib(corpus.files[i].path, pictureFolder + std::to_string(i)).ok) ++failures;
    return failures;
}

#endif

// Title checks of a few files spread over the corpus, a Chinese one among
// them; mismatches are reported on err. True when all agree.
bool TitlesAgree(const TCorpus& corpus, const TPlugIns& registry, [[maybe_unused]] const std::string& pictureFolder,
                 std::ostream& err) {
    std::vector<std::size_t> samples;
    const std::size_t step = std::max<std::size_t>(1, corpus.files.size() / kSanitySamples);
    for (std::size_t i = 0; i < corpus.files.size(); i += step) samples.push_back(i);
    for (std::size_t i = 0; i < corpus.files.size(); ++i) {
        const std::string& title = corpus.files[i].title;
        if (std::any_of(title.begin(), title.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
            samples.push_back(i);
            break;
        }
    }
    bool agree = true;
    for (const std::size_t i : samples) {
        const TCorpusFile& file = corpus.files[i];
        const std::string ours = TunecrateTitle(file.path, registry);
        if (ours != file.title) {
            err << "title mismatch in " << file.path << ": written '" << file.title << "', tunecrate '" << ours
                << "'\n";
            agree = false;
        }
#ifdef TCRATE_HAVE_TAGLIB
        const std::string theirs = ReadWithTagLib(file.path, pictureFolder + "check").title;
        if (ours != theirs) {
            err << "title mismatch in " << file.path << ": tunecrate '" << ours << "', taglib '" << theirs << "'\n";
            agree = false;
        }
#endif
    }
    return agree;
}

void PrintText(std::ostream& out, const TCorpus& corpus, const TPassTiming& floor, const TPassTiming& tunecrate,
               const std::optional<TPassTiming>& taglib) {
    const double files = static_cast<double>(corpus.files.size());
    char line[160];
    std::snprintf(line, sizeof line, "files %zu (corpus %lld MB, best of %d, warm cache)\n", corpus.files.size(),
                  static_cast<long long>(corpus.bytes / 1048576), kRuns);
    out << line;
    std::snprintf(line, sizeof line, "floor     %8.0f files/s\n", files / floor.seconds);
    out << line;
    std::snprintf(line, sizeof line, "tunecrate %8.0f files/s   %.2f x floor\n", files / tunecrate.seconds,
                  floor.seconds / tunecrate.seconds);
    out << line;
    if (!taglib) {
        out << "taglib    unavailable (built without the TagLib reference)\n";
        return;
    }
    const double ratio = taglib->seconds / tunecrate.seconds;
    std::snprintf(line, sizeof line, "taglib    %8.0f files/s   %.2f x %s\n", files / taglib->seconds, ratio,
                  ratio >= 1 ? "faster than taglib" : "taglib's speed");
    out << line;
}

void PrintJson(std::ostream& out, const TCorpus& corpus, const TPassTiming& floor, const TPassTiming& tunecrate,
               const std::optional<TPassTiming>& taglib) {
    const double files = static_cast<double>(corpus.files.size());
    char line[256];
    char taglibRate[32] = "null";
    if (taglib) std::snprintf(taglibRate, sizeof taglibRate, "%.1f", files / taglib->seconds);
    std::snprintf(line, sizeof line,
                  "{\"files\": %zu, \"floor_files_per_s\": %.1f, \"tunecrate_files_per_s\": %.1f, "
                  "\"taglib_files_per_s\": %s}\n",
                  corpus.files.size(), files / floor.seconds, files / tunecrate.seconds, taglibRate);
    out << line;
}

} // namespace

int RunScanBench(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::optional<TBenchOptions> options = ParseBenchOptions(args, "scan", "--files", 5000, kMaxFiles, kUsage, out, err);
    if (!options) return 2;
    if (options->help) return 0;

    const TBenchFolder folder;
    const std::string root = folder.Path() + "corpus/";
    const std::string dataFolder = folder.Path() + "data/";
    const std::string taglibPictures = folder.Path() + "taglib/";
    if (!MakeFolders(root) || !MakeFolders(dataFolder) || !MakeFolders(taglibPictures)) {
        err << "tcrate-bench scan: cannot create folders in " << folder.Path() << '\n';
        return 1;
    }
    const TCorpus corpus = GenerateCorpus(root, options->count);
    FlushToDisk(root);

    TMediaEnvironment env(dataFolder, "GB18030");
    const TPlugIns registry(env);

    FloorPass(corpus); // brings every file into the page cache
    const TPassTiming floor = BestOf(kRuns, [&] { return FloorPass(corpus); });
    const TPassTiming tunecrate = BestOf(kRuns, [&] { return TunecratePass(root, registry, corpus.files.size()); });
    std::optional<TPassTiming> taglib;
#ifdef TCRATE_HAVE_TAGLIB
    taglib = BestOf(kRuns, [&] { return TagLibPass(corpus, taglibPictures); });
#endif

    bool failed = false;
    const auto check = [&](const char* pass, int failures) {
        if (failures == 0) return;
        err << "tcrate-bench scan: " << failures << " files failed in the " << pass << " pass\n";
        failed = true;
    };
    check("floor", floor.failures);
    check("tunecrate", tunecrate.failures);
    if (taglib) check("taglib", taglib->failures);
    if (!TitlesAgree(corpus, registry, taglibPictures, err)) failed = true;
    if (failed) return 1;

    if (options->json) {
        PrintJson(out, corpus, floor, tunecrate, taglib);
    } else {
        PrintText(out, corpus, floor, tunecrate, taglib);
    }
    return 0;
}
