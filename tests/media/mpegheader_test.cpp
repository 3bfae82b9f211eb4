#include "media/mpegheader.h"

#include <gtest/gtest.h>

#include "core/bytesource.h"
#include "media/mp3tag.h"
#include "mp3builder.h"
#include "tempdir.h"

namespace {

// The stream information an item stores for a file of these bytes.
std::string StreamInfo(const std::string& bytes) {
    TempDir dir;
    mp3::WriteFile(dir / "a.mp3", bytes);
    TMediaEnvironment env(dir.Path(), "GB18030");
    TMP3Tag item(env);
    EXPECT_EQ(item.LoadFromFile(dir / "a.mp3"), 0);
    std::string info;
    for (const char* key : {"mpeg_level", "mpeg_layer", "TC_BR", "frequency", "padding", "channel"})
        info += std::string(key) + "=" + item.GetValue(key) + ";";
    return info;
}

std::string Header(unsigned b1, unsigned b2, unsigned b3) {
    return std::string{'\xFF', static_cast<char>(b1), static_cast<char>(b2), static_cast<char>(b3)} + std::string(8, '\0');
}

} // namespace

TEST(MpegHeader, EveryVersionAndLayerGivesItsBitrateAndFrequency) {
    struct Case {
        unsigned b1, b2, b3;
        const char* info;
    };
    const Case cases[] = {
        {0xFB, 0x90, 0x64, "mpeg_level=3;mpeg_layer=1;TC_BR=128;frequency=44100;padding=0;channel=Joint stereo;"},
        {0xF3, 0x88, 0xC4, "mpeg_level=2;mpeg_layer=1;TC_BR=64;frequency=16000;padding=0;channel=Single channel;"},
        {0xE3, 0x54, 0x00, "mpeg_level=0;mpeg_layer=1;TC_BR=40;frequency=12000;padding=0;channel=Stereo;"},
        // Index 9 of every column: 288, 160, 128 for MPEG 1 and 144, 80, 80 below.
        {0xFF, 0x90, 0x80, ""}, // a second byte of 0xFF is never a header
        {0xFE, 0x92, 0x80, "mpeg_level=3;mpeg_layer=3;TC_BR=288;frequency=44100;padding=1;channel=Dual channel;"},
        {0xFD, 0x94, 0x40, "mpeg_level=3;mpeg_layer=2;TC_BR=160;frequency=48000;padding=0;channel=Joint stereo;"},
        {0xF7, 0x98, 0xC0, "mpeg_level=2;mpeg_layer=3;TC_BR=144;frequency=16000;padding=0;channel=Single channel;"},
        {0xF5, 0x90, 0x00, "mpeg_level=2;mpeg_layer=2;TC_BR=80;frequency=22050;padding=0;channel=Stereo;"},
        {0xE2, 0x98, 0x00, "mpeg_level=0;mpeg_layer=1;TC_BR=80;frequency=8000;padding=0;channel=Stereo;"},
        {0xE7, 0xE4, 0x00, "mpeg_level=0;mpeg_layer=3;TC_BR=256;frequency=12000;padding=0;channel=Stereo;"},
        // Reserved version: no bitrate, no frequency. Reserved layer: no bitrate.
        {0xEB, 0x90, 0x00, "mpeg_level=1;mpeg_layer=1;TC_BR=;frequency=;padding=0;channel=Stereo;"},
        {0xF9, 0x90, 0x00, "mpeg_level=3;mpeg_layer=0;TC_BR=;frequency=44100;padding=0;channel=Stereo;"},
        // Free format and the forbidden index give 0; sampling index 3 none.
        {0xFB, 0x00, 0x00, "mpeg_level=3;mpeg_layer=1;TC_BR=0;frequency=44100;padding=0;channel=Stereo;"},
        {0xFB, 0xFC, 0x00, "mpeg_level=3;mpeg_layer=1;TC_BR=0;frequency=;padding=0;channel=Stereo;"},
    };
    for (const Case& c : cases) {
        const std::string expected = *c.info ? c.info : "mpeg_level=;mpeg_layer=;TC_BR=;frequency=;padding=;channel=;";
        EXPECT_EQ(StreamInfo(Header(c.b1, c.b2, c.b3)), expected) << std::hex << c.b1 << " " << c.b2;
    }
}

TEST(MpegHeader, ScanFindsTheFirstPositionThatPassesEvenAcrossBlocks) {
    EXPECT_EQ(StreamInfo("\xFF\xFF\xFF\xFF\xFF\xFB\x90\x64" + std::string(8, '\0')),
              "mpeg_level=3;mpeg_layer=1;TC_BR=128;frequency=44100;padding=0;channel=Joint stereo;");
    // A header straddling the window's block boundary is still found.
    for (std::size_t at : {65532u, 65533u, 65534u, 65535u, 65536u, 200000u}) {
        std::string bytes(at, '\x11');
        bytes += "\xFF\xF3\x88\xC4";
        TMemorySource source(bytes);
        TSourceWindow window(source);
        TMpegHeader header;
        const auto found = FindFrameHeader(window, 0, header);
        ASSERT_TRUE(found.has_value()) << at;
        EXPECT_EQ(*found, static_cast<int64_t>(at));
        EXPECT_EQ(header.bitrateIndex, 8);
    }
}

TEST(MpegHeader, NoHeaderStoresNothing) {
    EXPECT_EQ(StreamInfo(std::string(10, '\0')), "mpeg_level=;mpeg_layer=;TC_BR=;frequency=;padding=;channel=;");
    EXPECT_EQ(StreamInfo("\xFF\xFB\x90"), "mpeg_level=;mpeg_layer=;TC_BR=;frequency=;padding=;channel=;");
}
