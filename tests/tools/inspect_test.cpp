#include "tools/inspect.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>

#include "core/fileio.h"
#include "core/paths.h"
#include "audiogen.h"
#include "mp3builder.h"
#include "tempdir.h"
#include "wavfile.h"

namespace {

struct Outcome {
    int status;
    std::string out, err;
};

using TCommand = int (*)(const std::vector<std::string>&, std::ostream&, std::ostream&);

Outcome Inspect(const std::vector<std::string>& args, TCommand command = RunInspect) {
    std::ostringstream out, err;
    const int status = command(args, out, err);
    return {status, out.str(), err.str()};
}

// Runs a program through the shell; what it printed on either stream goes to out.
Outcome RunProgram(const std::string& commandLine) {
    FILE* pipe = popen((commandLine + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return {-1, "", "popen failed"};
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text, ""};
}

// tcrate-inspect of this build, quoted for the shell.
std::string BuiltInspect() { return "'" + ProgramFolder() + "tcrate-inspect'"; }

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
    // Its own temporary folder, so that other tests running meanwhile do not count.
    TempDir temp;
    const char* saved = std::getenv("TMPDIR");
    const std::string previous = saved != nullptr ? saved : "";
    setenv("TMPDIR", temp.Path().c_str(), 1);
    const Outcome run = Inspect({"read", dir / "a.mp3"});
    if (saved != nullptr) {
        setenv("TMPDIR", previous.c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("APIC.0.filename=picture/"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(temp.Path()));
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

TEST(Inspect, TagSetsValuesAndWritesTheFileWithItsPictures) {
    TempDir dir;
    const std::string jpeg = mp3::JpegData(500);
    mp3::WriteFile(dir / "a.mp3", mp3::Tag(4)
                                      .Text("TIT2", "Old")
                                      .Text("TPE1", "Band")
                                      .Frame("APIC", mp3::PictureBody(0, "image/jpeg", 3, "", jpeg))
                                      .Build() +
                                      mp3::Frames(2));
    const Outcome run = Inspect({"tag", dir / "a.mp3", "TIT2=New", "TPE1=", "TCOM=a=b"});
    EXPECT_EQ(run.status, 0) << run.err;
    const Outcome read = Inspect({"read", dir / "a.mp3"});
    EXPECT_NE(read.out.find("version=3\n"), std::string::npos) << read.out;
    EXPECT_NE(read.out.find("TIT2=New\n"), std::string::npos);
    EXPECT_NE(read.out.find("TCOM=a=b\n"), std::string::npos);
    EXPECT_EQ(read.out.find("TPE1="), std::string::npos);
    EXPECT_NE(read.out.find("APIC.num=1\n"), std::string::npos);
    std::string bytes;
    ReadWholeFile(dir / "a.mp3", bytes);
    EXPECT_NE(bytes.find(jpeg), std::string::npos);
}

TEST(Inspect, TagReportsFilesItCannotWriteAndBadArguments) {
    TempDir dir;
    mp3::WriteFile(dir / "a.wma", "");
    mp3::WriteFile(dir / "ro.mp3", mp3::Frames(2));
    std::filesystem::permissions(dir / "ro.mp3", std::filesystem::perms::owner_read);
    for (const char* name : {"a.wma", "missing.mp3", "ro.mp3"}) {
        const Outcome run = Inspect({"tag", dir / name, "TIT2=x"});
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_NE(run.err.find(name), std::string::npos);
    }
    const std::vector<std::vector<std::string>> bad = {
        {"tag"}, {"tag", "--data-dir"}, {"tag", "--bogus", "a.mp3"}, {"tag", "a.mp3", "TIT2"}, {"tag", "a.mp3", "=x"}};
    for (const std::vector<std::string>& args : bad)
        EXPECT_EQ(Inspect(args).status, 2) << args.back();
    const Outcome help = Inspect({"tag", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: tcrate-inspect tag"), std::string::npos);
    EXPECT_NE(Inspect({"--help"}).out.find("  tag "), std::string::npos);
}

TEST(Inspect, PlayPrintsTheNoticesAndEndsWithTheFile) {
    TempDir dir;
    std::string error;
    const auto tone = audiogen::Tone(44100, 0.5, 440, 440);
    ASSERT_TRUE(audiogen::Encode(dir / "tone.MP3", "mp3", tone, 44100, 128000, error)) << error;
    ASSERT_TRUE(audiogen::Encode(dir / "tone.wma", "wma", tone, 44100, 128000, error)) << error;

    const Outcome mpeg = Inspect({"--output", "wav:" + dir / "mpeg.wav", dir / "tone.MP3"}, InspectPlay);
    EXPECT_EQ(mpeg.status, 0) << mpeg.err;
    EXPECT_NE(mpeg.out.find("69 player-state 1 playing\n"), std::string::npos) << mpeg.out;
    EXPECT_NE(mpeg.out.find("69 player-state 3 end\n76 input-position 10000/10000\n"), std::string::npos);
    EXPECT_NE(mpeg.out.find("\n68 exited\n"), std::string::npos);

    const Outcome media = Inspect({"--output", "wav:" + dir / "media.wav", dir / "tone.wma"}, InspectPlay);
    EXPECT_EQ(media.status, 0) << media.err;
    EXPECT_NE(media.out.find("69 player-state 3 end\n"), std::string::npos) << media.out;

    TWavData mpegWav, mediaWav;
    ASSERT_TRUE(ReadWavFile(dir / "mpeg.wav", mpegWav));
    ASSERT_TRUE(ReadWavFile(dir / "media.wav", mediaWav));
    EXPECT_EQ(mpegWav.Frames(), long(tone.size() / 2));
    EXPECT_GT(mediaWav.Frames(), 0);

    mp3::WriteFile(dir / "text.mp3", std::string(5000, 'x'));
    EXPECT_EQ(Inspect({"--output", "null", dir / "text.mp3"}, InspectPlay).status, 1);
    EXPECT_EQ(Inspect({"--output", "null", dir / "missing.ogg"}, InspectPlay).status, 1);
    EXPECT_EQ(Inspect({"--seconds", "soon", dir / "tone.wma"}, InspectPlay).status, 2);
    EXPECT_EQ(Inspect({}, InspectPlay).status, 2);
}

TEST(Inspect, PlayIsHandedToTheProgramBesideIt) {
    TempDir dir;
    std::string error;
    const auto tone = audiogen::Tone(44100, 0.5, 440, 440);
    ASSERT_TRUE(audiogen::Encode(dir / "tone.mp3", "mp3", tone, 44100, 128000, error)) << error;

    const Outcome played =
        RunProgram(BuiltInspect() + " play --output 'wav:" + dir / "a.wav" + "' '" + dir / "tone.mp3" + "'");
    EXPECT_EQ(played.status, 0) << played.out;
    EXPECT_NE(played.out.find("69 player-state 3 end\n"), std::string::npos) << played.out;
    TWavData wav;
    ASSERT_TRUE(ReadWavFile(dir / "a.wav", wav));
    EXPECT_EQ(wav.Frames(), long(tone.size() / 2));

    const Outcome help = RunProgram(BuiltInspect() + " play --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: tcrate-inspect play", 0), 0u) << help.out;
    EXPECT_EQ(RunProgram(BuiltInspect() + " play").status, 2);

    // Without the play program beside it, tcrate-inspect says which file it missed.
    std::filesystem::copy_file(ProgramFolder() + "tcrate-inspect", dir / "tcrate-inspect");
    const Outcome alone = RunProgram("'" + dir / "tcrate-inspect" + "' play --help");
    EXPECT_EQ(alone.status, 1);
    EXPECT_NE(alone.out.find("cannot run " + dir / kInspectPlayProgram), std::string::npos) << alone.out;
}

TEST(Inspect, OnlyThePlayProgramLoadsThePlaybackLibraries) {
    // The dynamic loader lists the libraries a program loads and exits.
    const Outcome inspect = RunProgram("LD_TRACE_LOADED_OBJECTS=1 " + BuiltInspect());
    ASSERT_EQ(inspect.status, 0) << inspect.out;
    for (const char* library : {"libavformat", "libavcodec", "libmpg123", "libasound"})
        EXPECT_EQ(inspect.out.find(library), std::string::npos) << library << " in\n" << inspect.out;
    const Outcome play = RunProgram("LD_TRACE_LOADED_OBJECTS=1 '" + ProgramFolder() + kInspectPlayProgram + "'");
    EXPECT_NE(play.out.find("libmpg123"), std::string::npos) << play.out;
}
