#include "playlists/playlistfile.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/bytesource.h"
#include "core/fileio.h"
#include "core/library.h"
#include "core/plugins.h"
#include "media/mediaenv.h"
#include "media/mobj.h"
#include "mp3builder.h"
#include "tempdir.h"

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

namespace {

Names Entries(TPlaylistKind kind, std::string_view text) {
    TMemorySource source(text);
    return ReadPlaylistEntries(kind, source);
}

class PlaylistTest : public ::testing::Test {
protected:
    std::string Mp3(const std::string& name, const std::string& title) {
        fs::create_directories(fs::path(dir / name).parent_path());
        mp3::WriteFile(dir / name, mp3::Tag(3).Text("TIT2", title).Build() + mp3::Frames(1));
        return dir / name;
    }
    std::string Contents(const std::string& name) const {
        std::string bytes;
        ReadWholeFile(dir / name, bytes);
        return bytes;
    }
    Names Listing(const std::string& folder) const {
        Names names;
        for (const auto& entry : fs::directory_iterator(dir / folder)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir;
    TMediaEnvironment env{dir.Path(), "GB18030"};
    TPlugIns registry{env};
};

} // namespace

TEST(PlaylistFile, KindIsTheLastFourCharactersInTheirLetterCase) {
    const std::pair<const char*, TPlaylistKind> cases[] = {
        {"/m/list.m3u", TPlaylistKind::M3u}, {"x.wpl", TPlaylistKind::Wpl}, {".M3U", TPlaylistKind::None},
        {"a.Wpl", TPlaylistKind::None},      {"x.m3u8", TPlaylistKind::None}, {"m3u", TPlaylistKind::None},
        {"", TPlaylistKind::None}};
    for (const auto& [name, kind] : cases) EXPECT_EQ(PlaylistKind(name), kind) << name;
}

TEST(PlaylistFile, TextOfEachKindIsExactlyItsBytes) {
    EXPECT_EQ(PlaylistText(TPlaylistKind::M3u, {"/m/a.mp3", "/m/b c.mp3"}), "/m/a.mp3\r\n/m/b c.mp3\r\n");
    EXPECT_EQ(PlaylistText(TPlaylistKind::Wpl, {"/m/R&B <1>.mp3", "/m/\"It's\".mp3", "/m/歌曲.mp3"}),
              "<?wpl version=\"1.0\"?>\r\n<smil>\r\n<body>\r\n<seq>\r\n"
              "<media src=\"/m/R&amp;B &lt;1&gt;.mp3\"/>\r\n"
              "<media src=\"/m/&quot;It&apos;s&quot;.mp3\"/>\r\n"
              "<media src=\"/m/歌曲.mp3\"/>\r\n"
              "</seq>\r\n</body>\r\n</smil>\r\n");
    EXPECT_EQ(PlaylistText(TPlaylistKind::None, {"/m/a.mp3"}), "");
}

TEST(PlaylistFile, EntriesComeBackAsWrittenInEitherKind) {
    Names names = {"/m/R&B <1>.mp3", "/m/\"It's\" &#65;.mp3", "C:\\Music\\a.mp3", "/m/歌曲 two.mp3"};
    // Past one read chunk, so the reader goes on after its first read.
    for (int n = 0; n < 60000; ++n) names.push_back("/music/folder/track " + std::to_string(n) + ".mp3");
    for (const TPlaylistKind kind : {TPlaylistKind::M3u, TPlaylistKind::Wpl})
        EXPECT_EQ(Entries(kind, PlaylistText(kind, names)), names);
    EXPECT_TRUE(Entries(TPlaylistKind::None, "/m/a.mp3\r\n").empty());
}

TEST(PlaylistFile, M3uLinesEndInCrLfOrLfAndTheLastMayEndInNeither) {
    EXPECT_EQ(Entries(TPlaylistKind::M3u, "/a b.mp3\r\n/c.mp3\n\n/d.mp3\r\r\n /e.mp3 "),
              (Names{"/a b.mp3", "/c.mp3", "/d.mp3\r", " /e.mp3 "}));
    EXPECT_EQ(Entries(TPlaylistKind::M3u, "/a.mp3"), Names{"/a.mp3"});
}

TEST(PlaylistFile, WplMediaSourcesAreFoundInAnyLayout) {
    const std::pair<const char*, Names> cases[] = {
        {"<?wpl version=\"1.0\"?>\r\n<smil>\r\n    <head>\r\n        <meta name=\"Generator\" content=\"X\"/>\r\n"
         "        <title>Mix</title>\r\n    </head>\r\n    <body>\r\n        <seq>\r\n"
         "            <media src=\"C:\\Music\\a.mp3\" tid=\"{1F2E}\"/>\r\n"
         "            <media src=\"/home/u/Music/b &amp; c.mp3\"/>\r\n        </seq>\r\n    </body>\r\n</smil>\r\n",
         {"C:\\Music\\a.mp3", "/home/u/Music/b & c.mp3"}},
        {"<media tid='x' src = '/a\"b.mp3'/><media\nsrc=\"/c.mp3\"></media>", {"/a\"b.mp3", "/c.mp3"}},
        {"<media src=\"&#65;&#233;&#x6B4C;&#x01F3B5;.mp3\"/>", {"Aé歌🎵.mp3"}},
        {"<media src=\"&#xZZ;&#;&#1114112;&nbsp;&amp\"/>", {"&#xZZ;&#;&#1114112;&nbsp;&amp"}},
        {"<Media src=\"/a\"/><mediax src=\"/b\"/><!-- <media src=\"/c\"/> --><media/>", {}},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(Entries(TPlaylistKind::Wpl, text), expected) << text;
}

TEST(PlaylistFile, DamagedWplGivesWhatCouldBeRead) {
    const std::pair<const char*, Names> cases[] = {
        {"<media src=\"/a\"/><media src=\"/b\"", {"/a"}},
        {"<media src=\"/a/><media src=\"/b\"/>", {"/b"}},
        {"<media src='/a", {}},
        {"<media src=\"/a & b\"/><media src=\"&&#;&#x\"/>", {"/a & b", "&&#;&#x"}},
        {"<media = src \"/a\" ==\"/b\" src=/c src=\"/d\">", {"/d"}},
        {"<!-- <media src=\"/a\"/>", {}},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(Entries(TPlaylistKind::Wpl, text), expected) << text;

    const std::string whole = PlaylistText(TPlaylistKind::Wpl, {"/m/a&b.mp3", "/m/歌.mp3", "/m/c.mp3"});
    const Names all = Entries(TPlaylistKind::Wpl, whole);
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        const Names read = Entries(TPlaylistKind::Wpl, std::string_view(whole).substr(0, length));
        ASSERT_LE(read.size(), all.size());
        EXPECT_TRUE(std::equal(read.begin(), read.end(), all.begin())) << length;
    }
}

TEST_F(PlaylistTest, EntriesAreFoundByTheirNameOrRelativeToThePlaylist) {
    TTUNECRATE library(registry, dir / "tune.crate", dir / "tune.bak");
    library.AddFile(Mp3("music/sub/a.mp3", "A"));
    library.AddFile(Mp3("music/b.mp3", "B"));
    TMObj* a = library.FindByFileName(dir / "music/sub/a.mp3");
    TMObj* b = library.FindByFileName(dir / "music/b.mp3");
    ASSERT_TRUE(a != nullptr && b != nullptr);
    const std::pair<std::string, TMObj*> cases[] = {
        {dir / "music/sub/a.mp3", a}, {"/elsewhere/a.mp3", nullptr}, {"sub/a.mp3", a}, {"sub\\a.mp3", a},
        {"./b.mp3", b},  {"../music/b.mp3", b}, {"sub/../b.mp3", b}, {"c.mp3", nullptr}, {"", nullptr}};
    for (const auto& [entry, item] : cases) EXPECT_EQ(FindPlaylistEntry(library, entry, dir / "music/"), item) << entry;
}

TEST_F(PlaylistTest, RefreshReadsAgainOnlyFilesChangedSinceAndNeverDropsEdits) {
    auto load = [&](const std::string& name) {
        auto item = registry.CreateItemFor(".mp3");
        item->LoadFromFile(Mp3(name, "One"));
        item->SetValue("TIT2", "Memory"); // shows whether the file was read again
        return item;
    };
    auto unchanged = load("same.mp3");
    auto grown = load("grown.mp3");
    auto touched = load("touched.mp3");
    auto edited = load("edited.mp3");
    auto gone = load("gone.mp3");
    edited->SetTitle("Edited");
    Mp3("grown.mp3", "Longer title");
    Mp3("edited.mp3", "Longer title");
    Mp3("touched.mp3", "Two");
    const timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "touched.mp3").c_str(), times, 0), 0);
    fs::remove(dir / "gone.mp3");

    const std::pair<TMObj*, const char*> cases[] = {
        {unchanged.get(), "Memory"}, {grown.get(), "Longer title"}, {touched.get(), "Two"},
        {edited.get(), "Edited"},    {gone.get(), "Memory"}};
    for (const auto& [item, title] : cases) {
        RefreshPlaylistItem(*item);
        EXPECT_EQ(item->GetTitle(), title) << item->GetFileName();
    }
}

TEST_F(PlaylistTest, CopiesKeepTheirNamePartAndNumberLaterOnesOfTheSameName) {
    fs::create_directories(dir / "out");
    const std::pair<const char*, const char*> files[] = {
        {"one/a.mp3", "first"}, {"two/a.mp3", "second"}, {"one/notes", "n1"}, {"two/notes", "n2"}, {"out/a.mp3", "old"}};
    for (const auto& [name, bytes] : files) {
        fs::create_directories(fs::path(dir / name).parent_path());
        mp3::WriteFile(dir / name, bytes);
    }
    chmod((dir / "two/a.mp3").c_str(), 0640);
    TFileCopier copier(dir / "out/");
    for (const char* source : {"one/a.mp3", "two/a.mp3", "one/notes", "two/notes", "one/a.mp3"})
        EXPECT_TRUE(copier.Copy(dir / source)) << source;
    EXPECT_EQ(Listing("out"), (Names{"a (2).mp3", "a (3).mp3", "a.mp3", "notes", "notes (2)"}));
    EXPECT_EQ(Contents("out/a.mp3"), "first");
    EXPECT_EQ(Contents("out/a (2).mp3"), "second");
    EXPECT_EQ(Contents("out/notes (2)"), "n2");
    EXPECT_EQ(fs::status(dir / "out/a (2).mp3").permissions(), fs::perms(0640));

    TFileCopier again(dir / "out/");
    EXPECT_TRUE(again.Copy(dir / "out/a (2).mp3")); // onto itself
    EXPECT_EQ(Contents("out/a (2).mp3"), "second");
}

TEST_F(PlaylistTest, FailedCopyLeavesNothingAndDoesNotTakeTheName) {
    mp3::WriteFile(dir / "a.mp3", "bytes");
    fs::create_directories(dir / "out");
    fs::create_directories(dir / "folder.mp3");
    fs::create_directories(dir / "locked");
    fs::permissions(dir / "locked", fs::perms(0555));
    struct Case {
        std::string source, folder;
    };
    std::vector<Case> cases = {{"missing.mp3", "out"}, {"folder.mp3", "out"}, {"a.mp3", "nowhere"}};
    if (geteuid() != 0) cases.push_back({"a.mp3", "locked"}); // root writes there anyway
    for (const auto& [source, folder] : cases) {
        TFileCopier copier(dir / folder + "/");
        std::string error;
        EXPECT_FALSE(copier.Copy(dir / source, &error)) << source << " into " << folder;
        EXPECT_FALSE(error.empty());
        if (fs::exists(dir / folder)) {
            EXPECT_TRUE(Listing(folder).empty()) << folder;
        }
    }
    TFileCopier copier(dir / "out/");
    EXPECT_FALSE(copier.Copy(dir / "out/a.mp3"));
    mp3::WriteFile(dir / "out/b.mp3", "b");
    EXPECT_TRUE(copier.Copy(dir / "out/b.mp3"));
    EXPECT_TRUE(copier.Copy(dir / "a.mp3"));
    EXPECT_EQ(Listing("out"), (Names{"a.mp3", "b.mp3"}));
}
