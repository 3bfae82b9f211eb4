#include "core/library.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "childtest.h"
#include "core/database.h"
#include "core/fileio.h"
#include "core/plugins.h"
#include "core/sysinfo.h"
#include "core/treetext.h"
#include "media/mediaenv.h"
#include "media/mobj.h"
#include "mp3builder.h"
#include "tempdir.h"

namespace fs = std::filesystem;

namespace {

class LibraryTest : public ::testing::Test {
protected:
    std::unique_ptr<TTUNECRATE> Open() { return std::make_unique<TTUNECRATE>(registry, dir / "tune.crate", dir / "tune.bak"); }
    std::string Mp3(const std::string& name, const std::string& artist, const std::string& year = "") {
        const std::string path = dir / name;
        mp3::WriteFile(path, mp3::Tag(3).Text("TPE1", artist).Text("TYER", year).Text("TALB", "Al" + year).Build() +
                                 mp3::Frames(1));
        return path;
    }
    std::string File(const std::string& name) const {
        std::string bytes;
        ReadWholeFile(dir / name, bytes);
        return bytes;
    }
    // A database of the given version with one record per (type, text) and the
    // lists and trees present where the version has them.
    static std::string Database(int32_t version, const std::vector<TDatabaseImage::Pair>& records,
                                const std::vector<TDatabaseImage::Pair>& favourites = {},
                                const std::string& tree = "root.Name=Tunecrate\r\nroot.Type=artist\r\n") {
        TDatabaseWriter out;
        out.Integer(version);
        if (version >= 105) {
            out.String("reserved A");
            out.String("reserved B");
        }
        out.Integer(static_cast<int32_t>(records.size()));
        for (const auto& [type, text] : records) {
            out.String(type);
            out.String(text);
        }
        if (version >= 106) {
            out.Integer(static_cast<int32_t>(favourites.size()));
            for (const auto& [type, name] : favourites) {
                out.String(type);
                out.String(name);
            }
            out.Integer(0);
        }
        if (version >= 107) {
            out.Integer(0);
            out.Integer(5);
        }
        out.String(tree);
        if (version >= 106) {
            out.String("root.Name=我的最爱\r\nroot.Type=year\r\n");
            out.String("");
        }
        return out.Bytes();
    }

    TempDir dir;
    TMediaEnvironment env{dir.Path(), "GB18030"};
    TPlugIns registry{env};
};

const std::vector<TDatabaseImage::Pair> kRecords = {
    {".mp3", "filename=/m/a.mp3\r\nTPE1=A\r\nTYER=1999\r\n"},
    {".MP3", "filename=/m/b.MP3\r\nTPE1=B\r\n"},
    {".ogg", "filename=/m/c.ogg\r\n"},
    {".wma", "filename=/m/d.wma\r\n"},
};

} // namespace

TEST_F(LibraryTest, AddFileAddsEachExactNameOnce) {
    auto library = Open();
    const std::string a = Mp3("a.mp3", "A");
    library->AddFile(a);
    library->AddFile(a);
    EXPECT_EQ(library->Count(), 1);
    mp3::WriteFile(dir / "A.mp3", File("a.mp3"));
    library->AddFile(dir / "A.mp3");
    library->AddFile(dir / "missing.mp3");
    mp3::WriteFile(dir / "notes.txt", "x");
    library->AddFile(dir / "notes.txt");
    EXPECT_EQ(library->Count(), 2);
    EXPECT_EQ(library->FindByFileName(a), library->GetItem(0));
    EXPECT_EQ(library->FindByFileName(dir / "A.mp3"), library->GetItem(1));
    EXPECT_EQ(library->AllItemsBox.ChildCount(), 1);
    EXPECT_EQ(library->AllItemsBox.GetChild(0)->ItemCount(), 2);
}

TEST_F(LibraryTest, FindByFileNameTakesTheFirstInListOrderAlsoAfterRemoval) {
    const std::string text = "filename=/m/a.mp3\r\nTPE1=A\r\n";
    mp3::WriteFile(dir / "tune.crate", Database(107, {{".mp3", text}, {".mp3", text + "TIT2=second\r\n"}}));
    auto library = Open();
    ASSERT_EQ(library->Count(), 2);
    TMObj* first = library->GetItem(0);
    TMObj* second = library->GetItem(1);
    EXPECT_EQ(library->FindByFileName("/m/a.mp3"), first);
    EXPECT_TRUE(library->RemoveItem(first));
    EXPECT_EQ(library->Count(), 1);
    EXPECT_EQ(library->FindByFileName("/m/a.mp3"), second);
    EXPECT_TRUE(library->AllItemsBox.Contains(first)); // boxes are the caller's to update
    library->AllItemsBox.SetSortKey("not sort");
    library->AllItemsBox.RemoveItem(first);
    EXPECT_FALSE(library->RemoveItem(first));
    EXPECT_EQ(first->GetFileName(), "/m/a.mp3"); // still alive: other boxes may show it
}

TEST_F(LibraryTest, EveryFieldSurvivesASaveAndARestart) {
    {
        auto library = Open();
        for (const auto& [name, artist, year] : {std::tuple{"a.mp3", "A", "1999"}, {"b.mp3", "B", "2001"},
                                                 {"c.mp3", "A", "2001"}, {"d.mp3", "C", ""}})
            library->AddFile(Mp3(name, artist, year));
        TMObj* a = library->GetItem(0);
        TMObj* b = library->GetItem(1);
        library->FavouritesBox.AddItem(b);
        library->PlaylistBox.AddItem(a);
        library->PlaylistBox.AddItem(b);
        library->NowPlayingBox.AddItem(b);
        library->NowPlayingBox.AddItem(a);
        library->SetNowPlayingIndex(1);
        library->AllItemsBox.SetName("My music");
        library->AllItemsBox.SetSortKey("year");
        library->AllItemsBox.FindChild("2001")->SetSortKey("album");
    }
    EXPECT_EQ(File("tune.crate"), File("tune.bak"));

    auto library = Open();
    EXPECT_EQ(library->Version(), 107);
    ASSERT_EQ(library->Count(), 4);
    TMObj* a = library->GetItem(0);
    TMObj* b = library->GetItem(1);
    EXPECT_EQ(library->AllItemsBox.GetName(), "My music");
    // The items come back classified by artist first, so re-sorting them by
    // year meets 2001 (artist B) before 1999 (artist A).
    EXPECT_EQ(TreeText(library->AllItemsBox), "root.Name=My music\r\nroot.Type=year\r\nroot.2001=album\r\n"
                                              "root.2001.Al2001=not sort\r\nroot.1999=not sort\r\n");
    EXPECT_EQ(library->AllItemsBox.ItemCount(), 1); // the item without a year
    std::vector<TMObj*> playlist, queue;
    library->PlaylistBox.CollectItems(playlist);
    library->NowPlayingBox.CollectItems(queue);
    EXPECT_EQ(playlist, (std::vector<TMObj*>{a, b}));
    EXPECT_EQ(queue, (std::vector<TMObj*>{b, a}));
    EXPECT_TRUE(library->FavouritesBox.Contains(b));
    EXPECT_EQ(library->NowPlayingIndex, 1);
}

TEST_F(LibraryTest, OlderVersionsReadWhatTheyHold) {
    mp3::WriteFile(dir / "tune.crate", Database(103, kRecords));
    {
        auto library = Open();
        EXPECT_EQ(library->Version(), 103);
        EXPECT_EQ(library->Count(), 3); // ".ogg" has no item kind
        EXPECT_EQ(library->NowPlayingIndex, -1);
        EXPECT_EQ(library->ReservedA(), "");
    }
    const TDatabaseImage saved = ParseDatabase(File("tune.crate"));
    EXPECT_EQ(saved.version, 107);
    EXPECT_EQ(saved.records.size(), 3u);
    EXPECT_EQ(saved.trees.size(), 3u);

    mp3::WriteFile(dir / "tune.crate", Database(105, kRecords));
    EXPECT_EQ(Open()->ReservedB(), "reserved B");
    mp3::WriteFile(dir / "tune.crate", Database(106, kRecords, {{".mp3", "/m/zzz.mp3"}, {".mp3", "/m/a.mp3"}}));
    {
        auto library = Open();
        EXPECT_EQ(library->FavouritesBox.GetSortKey(), "year");
        EXPECT_EQ(library->FavouritesBox.FindChild("1999")->ItemCount(), 1);
        EXPECT_EQ(library->NowPlayingIndex, -1);
    }
    mp3::WriteFile(dir / "tune.crate", Database(108, kRecords));
    EXPECT_EQ(Open()->NowPlayingIndex, 5);
}

TEST_F(LibraryTest, RejectedVersionsLeaveTheFileUntouched) {
    for (int32_t version : {104, 102, -1}) {
        const std::string bytes = Database(version, kRecords);
        mp3::WriteFile(dir / "tune.crate", bytes);
        try {
            Open();
            ADD_FAILURE() << version;
        } catch (const TDatabaseVersionError& error) {
            EXPECT_STREQ(error.what(), "索引信息库版本不支持 !");
        }
        EXPECT_EQ(File("tune.crate"), bytes);
    }
}

TEST_F(LibraryTest, DamagedFilesKeepWhatWasReadAndNeverCrash) {
    const std::string whole = Database(107, kRecords, {{".mp3", "/m/a.mp3"}});
    for (std::size_t length = 0; length < whole.size(); ++length) {
        mp3::WriteFile(dir / "tune.crate", whole.substr(0, length));
        EXPECT_LE(Open()->Count(), 3) << length;
        EXPECT_FALSE(ParseDatabase(whole.substr(0, length)).damage.empty() && length >= 4) << length;
    }
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes = whole;
        bytes[random() % bytes.size()] = static_cast<char>(random());
        if (random() % 2) bytes[4 + random() % 40] = '\xFF';
        mp3::WriteFile(dir / "tune.crate", bytes);
        try {
            EXPECT_LE(Open()->Count(), 3);
        } catch (const TDatabaseVersionError&) {
        }
    }
    // A length past the end, a negative one, and an empty record text.
    TDatabaseWriter out;
    out.Integer(107);
    out.String("");
    out.String("");
    out.Integer(2);
    out.String(".mp3");
    out.String("filename=/m/a.mp3\r\n");
    out.String(".mp3");
    out.Integer(0x7FFFFFF0);
    EXPECT_EQ(ParseDatabase(out.Bytes()).records.size(), 1u);
    EXPECT_NE(ParseDatabase(out.Bytes()).damage.find("item record 1"), std::string::npos);
}

TEST_F(LibraryTest, ChildrenNamedLikeTheRootLinesCannotRenameOrResortTheirBox) {
    {
        auto library = Open();
        for (const auto& [name, artist] : {std::pair{"a.mp3", "Name"}, {"b.mp3", "TYPE"}, {"c.mp3", "x=y"}, {"d.mp3", "Real"}})
            library->AddFile(Mp3(name, artist, "2000"));
        for (const char* artist : {"Name", "TYPE", "x=y", "Real"}) library->AllItemsBox.FindChild(artist)->SetSortKey("year");
    }
    auto library = Open();
    EXPECT_EQ(library->AllItemsBox.GetName(), "Tunecrate");
    EXPECT_EQ(library->AllItemsBox.GetSortKey(), "artist");
    EXPECT_EQ(library->AllItemsBox.ChildCount(), 4);
    EXPECT_EQ(library->AllItemsBox.FindChild("Real")->GetSortKey(), "year");
    EXPECT_EQ(library->AllItemsBox.FindChild("x=y")->GetSortKey(), "not sort");
    EXPECT_EQ(library->AllItemsBox.FindChild("Name")->GetSortKey(), "not sort");
}

TEST_F(LibraryTest, AFailedSaveLeavesTheDatabaseAsItWas) {
    mp3::WriteFile(dir / "tune.crate", Database(107, kRecords));
    const std::string before = File("tune.crate");
    TTUNECRATE library(registry, dir / "tune.crate", dir / "no-such-folder/tune.bak");
    library.AddFile(Mp3("new.mp3", "N"));
    EXPECT_FALSE(library.Save());
    EXPECT_EQ(File("tune.crate"), before);
    EXPECT_FALSE(fs::exists(dir / "tune.crate.new")); // written, then taken back
    EXPECT_EQ(library.SaveFailure().file, dir / "no-such-folder/tune.bak");
    EXPECT_NE(library.SaveFailure().reason.find("No such file"), std::string::npos) << library.SaveFailure().reason;
    EXPECT_FALSE(library.SaveFailure().backupNewer);
}

namespace {

// A child of the kill tests: reads the library of one folder and saves it,
// now playing item 42, into another, without end ("loop FROM TO") or once
// ("once FROM TO").
TEST(LibraryChild, DISABLED_Save) {
    std::istringstream argument(ChildTestArgument());
    std::string mode, from, to;
    argument >> mode >> from >> to;
    if (to.empty()) GTEST_SKIP() << "only as a child";
    TMediaEnvironment env{to, "GB18030"};
    TPlugIns registry{env};
    TTUNECRATE library(registry, from + "tune.crate", from + "tune.bak");
    library.SaveTo(to + "tune.crate", to + "tune.bak");
    library.SetNowPlayingIndex(42);
    library.SkipSaveAtDestruction();
    do ASSERT_TRUE(library.Save());
    while (mode == "loop");
}

// Saves of a library of 3000 items killed at random moments, into its own
// folder or from the folder it was read from into another; what the files
// may hold.
class LibraryKill : public LibraryTest {
protected:
    void SetUp() override {
        std::vector<std::string> texts;
        for (int i = 0; i < 3000; ++i)
            texts.push_back("filename=/m/" + std::to_string(i) + ".mp3\r\nTPE1=A" + std::to_string(i % 97) +
                            "\r\nCOMM=" + std::string(400, 'c') + "\r\n");
        std::vector<TDatabaseImage::Pair> records;
        for (const std::string& text : texts) records.emplace_back(".mp3", text);
        old = Database(107, records);
        mp3::WriteFile(dir / "tune.crate", old);
        ASSERT_TRUE(RunChildTest("LibraryChild.DISABLED_Save", "once " + dir.Path() + " " + other.Path()));
        ReadWholeFile(other / "tune.crate", saved);
        ASSERT_NE(old, saved);
        fs::remove(other / "tune.crate");
        fs::remove(other / "tune.bak");
    }
    // Kills saves from one folder into another 100 times; every time both
    // files are absent, old or new and whole, and the next save leaves no
    // temporary file.
    void KillSaves(const std::string& from, const std::string& to, const std::string& before) {
        std::mt19937 random(11);
        for (int round = 0; round < 100; ++round) {
            const pid_t child = StartChildTest("LibraryChild.DISABLED_Save", "loop " + from + " " + to);
            ASSERT_GT(child, 0);
            KillChildAfter(child, std::uniform_int_distribution<useconds_t>(0, 60000)(random));
            for (const char* name : {"tune.crate", "tune.bak"}) {
                std::string now = before;
                const bool exists = ReadWholeFile(to + name, now);
                EXPECT_TRUE(now == before || (exists && now == saved)) << name << ", round " << round;
            }
            ASSERT_TRUE(RunChildTest("LibraryChild.DISABLED_Save", "once " + from + " " + to));
            EXPECT_EQ(std::distance(fs::directory_iterator(to), fs::directory_iterator()), 2)
                << "round " << round; // the two files, nothing else
            if (from != to) {
                fs::remove(to + "tune.crate");
                fs::remove(to + "tune.bak");
            }
        }
    }

    TempDir other;
    std::string old, saved;
};

} // namespace

TEST_F(LibraryKill, ASaveKilledAtAnyMomentLeavesTheOldOrTheNewFileWhole) {
    fs::remove(dir / "tune.bak");
    KillSaves(dir.Path(), dir.Path(), old);
}

TEST_F(LibraryKill, ASaveIntoTheDataFolderOfALibraryReadFromTheProgramFolderKilledAtAnyMoment) {
    KillSaves(dir.Path(), other.Path(), "");
    EXPECT_EQ(File("tune.crate"), old);
}

TEST_F(LibraryTest, TheFileNameIndexFollowsEveryChangeOfAName) {
    auto library = Open();
    const std::string a = Mp3("a.mp3", "A"), b = Mp3("b.mp3", "B"), c = Mp3("c.mp3", "C");
    library->AddFile(a);
    library->AddFile(b);
    TMObj* first = library->FindByFileName(a);
    TMObj* second = library->FindByFileName(b);
    ASSERT_NE(first, nullptr);

    first->SetValue("FileName", c); // names of values match in any case
    EXPECT_EQ(library->FindByFileName(a), nullptr);
    EXPECT_EQ(library->FindByFileName(c), first);
    library->AddFile(a); // the old name is free again
    TMObj* third = library->FindByFileName(a);
    ASSERT_NE(third, nullptr);
    EXPECT_NE(third, first);
    EXPECT_EQ(library->Count(), 3);

    // Two items of one name: the first in list order is found, then the other.
    second->LoadFromText("filename=" + c + "\r\nTPE1=B\r\n");
    EXPECT_EQ(library->FindByFileName(b), nullptr);
    EXPECT_EQ(library->FindByFileName(c), first);
    EXPECT_TRUE(library->RemoveItem(first));
    EXPECT_EQ(library->FindByFileName(c), second);
    first->SetValue("filename", b); // a removed item is not listed any more
    EXPECT_EQ(library->FindByFileName(b), nullptr);

    // Read from another file, and emptied.
    EXPECT_EQ(second->LoadFromFile(a), 0);
    EXPECT_EQ(library->FindByFileName(c), nullptr);
    EXPECT_EQ(library->FindByFileName(a), second); // before the third in list order
    third->SetValue("filename", "");
    EXPECT_EQ(library->FindByFileName(a), second);
    EXPECT_EQ(library->FindByFileName(""), third);

    library->RemoveItems({second, third});
    EXPECT_EQ(library->Count(), 0);
    EXPECT_EQ(library->FindByFileName(a), nullptr);
    EXPECT_EQ(library->FindByFileName(""), nullptr);
    library->AddFile(a);
    EXPECT_EQ(library->Count(), 1);
}

TEST_F(LibraryTest, ARestartKeepsEveryItemAfterAnInvalidOneAndTheTypeItWasReadAs) {
    {
        auto library = Open();
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) library->AddFile(Mp3(name, name));
        for (int i = 0; i < 3; ++i) library->FavouritesBox.AddItem(library->GetItem(i));
        library->NowPlayingBox.AddItem(library->GetItem(0));
        library->NowPlayingBox.AddItem(library->GetItem(2));
        library->SetNowPlayingIndex(1);
        library->GetItem(0)->LoadFromText(""); // no values left
        library->GetItem(1)->SetValue("filename", dir / "b-without-extension");
    }
    auto library = Open();
    ASSERT_EQ(library->Count(), 2);
    EXPECT_EQ(library->GetItem(0)->GetFileName(), dir / "b-without-extension");
    std::vector<TMObj*> favourites;
    EXPECT_EQ(library->FavouritesBox.CollectItems(favourites), 2);
    ASSERT_EQ(library->NowPlayingBox.ItemCount(), 1);
    EXPECT_EQ(library->NowPlayingIndex, 0); // still the entry that was playing
    EXPECT_EQ(library->NowPlayingBox.GetItem(0)->GetFileName(), dir / "c.mp3");
    library.reset();
    EXPECT_EQ(Open()->Count(), 2);
    EXPECT_EQ(ParseDatabase(File("tune.crate")).records.at(0).first, ".mp3");
}

TEST_F(LibraryTest, ADamagedDatabaseIsNeverMadeWorse) {
    std::vector<TDatabaseImage::Pair> records;
    std::vector<std::string> texts;
    for (int i = 0; i < 300; ++i) texts.push_back("filename=/m/" + std::to_string(i) + ".mp3\r\nTPE1=A" + std::to_string(i % 7) + "\r\n");
    for (const std::string& text : texts) records.emplace_back(".mp3", text);
    const std::string whole = Database(107, records, {{".mp3", "/m/299.mp3"}});
    const std::string truncated = whole.substr(0, whole.size() / 2);
    std::string flipped = whole;
    flipped[whole.find("filename=/m/150.mp3") - 1] ^= 0x40; // a length byte
    struct Case {
        const char* name;
        std::string crate, backup; // "-" for no file
        int items; // -1: what the database gives up to the damage
        bool restored, damaged;
    };
    const Case cases[] = {
        {"a good pair", whole, whole, 300, false, false},
        {"a truncated database beside a whole backup", truncated, whole, 300, true, false},
        {"a flipped length byte beside a whole backup", flipped, whole, 300, true, false},
        {"no database beside a whole backup", "-", whole, 300, true, false},
        {"both truncated", truncated, whole.substr(0, whole.size() / 3), -1, false, true},
        {"a flipped length byte and no backup", flipped, "-", -1, false, true},
    };
    for (const Case& c : cases) {
        for (const char* name : {"tune.crate", "tune.bak", "tune.crate.damaged", "tune.bak.damaged"}) fs::remove(dir / name);
        if (c.crate != "-") mp3::WriteFile(dir / "tune.crate", c.crate);
        if (c.backup != "-") mp3::WriteFile(dir / "tune.bak", c.backup);
        const int items = c.items >= 0 ? c.items : static_cast<int>(ParseDatabase(c.crate).records.size());
        ASSERT_GE(items, 100) << c.name;
        {
            auto library = Open();
            EXPECT_EQ(library->Count(), items) << c.name;
            EXPECT_EQ(library->LoadReport().restoredFromBackup, c.restored) << c.name;
            EXPECT_EQ(library->LoadReport().damaged, c.damaged) << c.name;
            EXPECT_EQ(library->LoadReport().itemsRead, c.damaged ? items : 0) << c.name;
            // Every damaged file is kept; a whole one is not moved.
            if (c.crate != "-" && c.crate != whole) {
                EXPECT_EQ(File("tune.crate.damaged"), c.crate) << c.name;
                EXPECT_EQ(library->LoadReport().keptAs.front(), dir / "tune.crate.damaged") << c.name;
            } else {
                EXPECT_FALSE(fs::exists(dir / "tune.crate.damaged")) << c.name;
            }
            EXPECT_EQ(fs::exists(dir / "tune.bak.damaged"), c.backup != "-" && c.backup != whole) << c.name;
            if (c.backup != "-" && c.backup != whole) {
                EXPECT_EQ(File("tune.bak.damaged"), c.backup) << c.name;
            }
        }
        // The next start reads what the shut-down wrote, whole.
        auto library = Open();
        EXPECT_EQ(library->Count(), items) << c.name;
        EXPECT_FALSE(library->LoadReport().damaged || library->LoadReport().restoredFromBackup) << c.name;
    }
}

TEST_F(LibraryTest, ADatabaseThatCannotBeOpenedCountsAsDamaged) {
    fs::create_directory(dir / "tune.crate");
    mp3::WriteFile(dir / "tune.bak", Database(107, kRecords));
    {
        auto library = Open();
        EXPECT_EQ(library->Count(), 3);
        EXPECT_TRUE(library->LoadReport().restoredFromBackup);
        EXPECT_TRUE(fs::is_directory(dir / "tune.crate.damaged"));
    }
    for (const char* name : {"tune.crate.damaged", "tune.crate", "tune.bak"}) fs::remove(dir / name);
    fs::create_directory(dir / "tune.crate");
    auto library = Open();
    EXPECT_TRUE(library->LoadReport().damaged);
    EXPECT_EQ(library->LoadReport().itemsRead, 0);
    EXPECT_TRUE(fs::is_directory(dir / "tune.crate.damaged"));
    EXPECT_TRUE(library->Save());

    // A damaged file that cannot be moved aside is never written over.
    library.reset();
    fs::remove_all(dir / "tune.crate");
    fs::remove_all(dir / "tune.bak");
    fs::create_directory(dir / "tune.crate");
    fs::create_directory(dir / "tune.crate.damaged");
    mp3::WriteFile(dir / "tune.crate.damaged/x", "in the way");
    library = Open();
    EXPECT_EQ(library->LoadReport().notMoved, dir / "tune.crate");
    EXPECT_FALSE(library->Save());
    EXPECT_FALSE(fs::exists(dir / "tune.bak"));
    EXPECT_EQ(library->SaveFailure().file, dir / "tune.crate");
    EXPECT_EQ(library->SaveFailure().reason, "");
    // Saved elsewhere, nothing is in the way.
    fs::create_directory(dir / "elsewhere");
    library->SaveTo(dir / "elsewhere/tune.crate", dir / "elsewhere/tune.bak");
    EXPECT_TRUE(library->Save());
    EXPECT_TRUE(fs::is_regular_file(dir / "elsewhere/tune.crate"));
}

TEST_F(LibraryTest, LeftoversOfAKilledSaveGoAtTheNextStart) {
    const struct timespec past[2] = {{1000000, 0}, {1000000, 0}};
    for (const char* name : {"tune.crate.new", "tune.bak.new", "box.ini.new"}) {
        mp3::WriteFile(dir / name, "partial");
        utimensat(AT_FDCWD, (dir / name).c_str(), past, 0);
    }
    mp3::WriteFile(dir / "tune.crate.new.keep", "not ours");
    Open();
    TSysInfo settings(dir.Path());
    EXPECT_FALSE(fs::exists(dir / "tune.crate.new"));
    EXPECT_FALSE(fs::exists(dir / "tune.bak.new"));
    EXPECT_FALSE(fs::exists(dir / "box.ini.new"));
    EXPECT_TRUE(fs::exists(dir / "tune.crate.new.keep"));
}
