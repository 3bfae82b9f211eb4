#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

#include "fuzzsupport.h"
#include "targets.h"

namespace fs = std::filesystem;

namespace {

const fs::path kRegressFolder = TCRATE_REGRESS_DIR;

struct TRegressFile {
    const TFuzzTarget* target;
    fs::path path;
};

std::vector<TRegressFile> RegressFiles() {
    std::vector<TRegressFile> files;
    for (const TFuzzTarget& target : FuzzTargets()) {
        const fs::path folder = kRegressFolder / target.name;
        std::error_code error;
        std::vector<fs::path> paths;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder, error))
            if (entry.is_regular_file()) paths.push_back(entry.path());
        std::sort(paths.begin(), paths.end());
        for (fs::path& path : paths) files.push_back({&target, std::move(path)});
    }
    return files;
}

std::string Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FuzzTargets, EachHasAFolderOfFilesToRead) {
    for (const TFuzzTarget& target : FuzzTargets()) {
        const fs::path folder = kRegressFolder / target.name;
        ASSERT_TRUE(fs::is_directory(folder)) << folder;
        EXPECT_FALSE(fs::is_empty(folder)) << folder;
    }
}

TEST(FuzzTargets, AreFoundByName) {
    for (const TFuzzTarget& target : FuzzTargets()) EXPECT_EQ(FindFuzzTarget(target.name), &target);
    EXPECT_EQ(FindFuzzTarget("tagreader "), nullptr);
    EXPECT_EQ(FindFuzzTarget(""), nullptr);
}

TEST(FuzzTargets, ABrokenRuleAbortsWithItsWords) {
    EXPECT_DEATH(FuzzCheck(false, "the audio changed"), "fuzz check failed: the audio changed");
    FuzzCheck(true, "never reported");
}

TEST(FuzzTargets, TakeEmptyAndTinyInputs) {
    for (const TFuzzTarget& target : FuzzTargets()) {
        for (std::string_view bytes : {std::string_view(), std::string_view("\0", 1), std::string_view("ID3"),
                                       std::string_view("\xFF\xFB\x90\x64", 4)})
            target.run(bytes);
    }
}

// An ID3v2.3 tag of `count` frames of that identifier and body; without an
// identifier, text frames of distinct names, so that each gives a value.
std::string TinyFrames(std::string_view id, std::string_view body, std::size_t count) {
    std::string tag;
    for (std::size_t i = 0; i < count; ++i) {
        std::string frameId(id);
        if (frameId.empty()) frameId = {'T', static_cast<char>('A' + i % 26), static_cast<char>('A' + i / 26 % 26),
                                        "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"[i / 676 % 36]};
        tag += frameId + std::string{0, 0, 0, static_cast<char>(body.size()), 0, 0} + std::string(body);
    }
    const auto size = static_cast<uint32_t>(tag.size());
    return std::string("ID3\3\0\0", 6) + static_cast<char>(size >> 21 & 0x7F) + static_cast<char>(size >> 14 & 0x7F) +
           static_cast<char>(size >> 7 & 0x7F) + static_cast<char>(size & 0x7F) + tag;
}

TEST(FuzzTargets, ReadTagsOfThousandsOfTinyFramesQuickly) {
    // Each value once cost a search of all the values before it: 256 kB of
    // such frames took minutes.
    for (const std::string& tag : {TinyFrames("APIC", std::string("\0\0\0\0x", 5), 16000),
                                   TinyFrames("", std::string("\0x", 2), 24000)}) {
        const auto start = std::chrono::steady_clock::now();
        FuzzTagReader(tag);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << tag.size() << " bytes";
    }
}

// A broken rule aborts the program: each file is a test of its own, so that
// the report names it.
class RegressFile : public ::testing::TestWithParam<TRegressFile> {};

TEST_P(RegressFile, ReadsAsTheTargetRequires) {
    const TRegressFile& file = GetParam();
    const std::string bytes = Bytes(file.path);
    ASSERT_EQ(bytes.size(), fs::file_size(file.path)) << file.path;
    file.target->run(bytes);
}

std::string TestName(const ::testing::TestParamInfo<TRegressFile>& info) {
    std::string name = std::string(info.param.target->name) + "_" + info.param.path.filename().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    // Names that differ only in punctuation stay apart by their place.
    return name + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(Found, RegressFile, ::testing::ValuesIn(RegressFiles()), TestName);

} // namespace
