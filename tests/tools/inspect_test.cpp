#include "tools/inspect.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

#include "mp3builder.h"
#include "tempdir.h"

namespace {

struct Outcome {
    int status;
    std::string out, err;
};

Outcome Inspect(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = RunInspect(args, out, err);
    return {status, out.str(), err.str()};
}

} // namespace

TEST(Inspect, ReadPrintsEachFilesValuesWithLfLineEnds) {
    TempDir dir, data;
    mp3::WriteFile(dir / "a.mp3", mp3::Tag(3).Text("TIT2", "Song").Build() + mp3::Frames(2));
    std::filesystem::create_directory(dir / "sub");
    mp3::WriteFile(dir / "sub/b.MP2", mp3::Frames(1) + mp3::Id3v1("Old", "", "", "", "", 17));
    const Outcome run = Inspect({"read", "--data-dir", data.Path(), dir.Path()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.find('\r'), std::string::npos);
    EXPECT_EQ(run.out.rfind("== " + dir / "a.mp3" + "\nfilename=" + dir / "a.mp3" + "\nTAG=ID3\nversion=3\n", 0), 0u)
        << run.out;
    EXPECT_NE(run.out.find("TIT2=Song\n"), std::string::npos);
    EXPECT_NE(run.out.find("== " + dir / "sub/b.MP2" + "\n"), std::string::npos);
    EXPECT_NE(run.out.find("TIT2=Old\nmodified=true\nTCON=Rock\n"), std::string::npos);
}

TEST(Inspect, ReadReportsFilesItCannotReadAndBadArguments) {
    TempDir dir;
    mp3::WriteFile(dir / "notes.txt", "x");
    const Outcome run = Inspect({"read", dir / "missing.mp3", dir / "notes.txt"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "== " + dir / "missing.mp3" + "\n== " + dir / "notes.txt" + "\n");
    EXPECT_NE(run.err.find("missing.mp3"), std::string::npos);
    EXPECT_EQ(Inspect({"read"}).status, 2);
    EXPECT_EQ(Inspect({"read", "--data-dir"}).status, 2);
    EXPECT_EQ(Inspect({"read", "--bogus", "x"}).status, 2);
    EXPECT_EQ(Inspect({"frobnicate"}).status, 2);
    EXPECT_EQ(Inspect({}).status, 2);
    for (const char* command : {"read", "scan"}) {
        const Outcome help = Inspect({command, "--help"});
        EXPECT_EQ(help.status, 0);
        EXPECT_NE(help.out.find("usage: tcrate-inspect"), std::string::npos);
    }
}

TEST(Inspect, ReadWithoutDataDirLeavesNoPicturesBehind) {
    TempDir dir;
    mp3::WriteFile(dir / "a.mp3",
                   mp3::Tag(3).Frame("APIC", mp3::PictureBody(0, "image/jpeg", 3, "", mp3::JpegData(100))).Build() +
                       mp3::Frames(1));
    const auto before = std::distance(std::filesystem::directory_iterator(std::filesystem::temp_directory_path()),
                                      std::filesystem::directory_iterator());
    const Outcome run = Inspect({"read", dir / "a.mp3"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("APIC.0.filename=picture/"), std::string::npos);
    const auto after = std::distance(std::filesystem::directory_iterator(std::filesystem::temp_directory_path()),
                                     std::filesystem::directory_iterator());
    EXPECT_EQ(before, after);
}

TEST(Inspect, ScanListsTheFilesInAddOrder) {
    TempDir dir;
    mp3::WriteFile(dir / "b.mp3", "");
    mp3::WriteFile(dir / "a.mp2", "");
    const Outcome run = Inspect({"scan", dir.Path()});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, dir / "b.mp3" + "\n" + dir / "a.mp2" + "\n");
    EXPECT_EQ(Inspect({"scan"}).status, 2);
    EXPECT_EQ(Inspect({"scan", dir / "b.mp3"}).status, 1);
}
