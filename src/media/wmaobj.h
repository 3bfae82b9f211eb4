#pragma once

#include "media/valueitem.h"

// A Windows Media Audio file, known by its name only: nothing is read from the
// file and nothing is ever written to it.
class TWMAObj final : public TValueItem {
public:
    using TValueItem::TValueItem;

    int FillFrameList(std::vector<std::string>*) override { return 0; }
    std::string GetFrameKind(const std::string&) const override { return {}; }
    std::string GetLyrics() const override { return {}; }
    int SetLyrics(const std::string&) override { return 0; }
    std::string GetTitle() const override;
    int SetTitle(const std::string&) override { return 0; }
    std::string GetArtist() const override { return "WMA"; }
    int SetArtist(const std::string&) override { return 0; }
    std::string GetAlbum() const override { return "WMA"; }
    int SetAlbum(const std::string&) override { return 0; }
    std::string GetYear() const override { return "WMA"; }
    int SetYear(const std::string&) override { return 0; }
    std::string GetGenre() override { return "WMA"; }
    std::string GenreOrDefault() const override { return "WMA"; }
    int SetGenre(const std::string&) override { return 0; }
    std::string GetComment() const override { return {}; }
    int SetComment(const std::string&) override { return 0; }
    // No modification time is recorded; sorting by it puts these items first.
    int32_t GetDateModified() const override { return 0; }
    int32_t GetBitrate() const override { return 0; }
    int32_t GetFrequency() const override { return 0; }
    std::string GetChannel() const override { return {}; }
    int32_t GetDuration() const override { return 0; }
    int64_t GetFileSize() const override { return 0; }
    std::string GetPictureFileName() const override { return {}; }
    int LoadFromFile(const std::string& path) override;
    int SaveIfModified() override { return 0; }
    int ReloadTags() override { return 0; }
    int ShowProperties(const std::string&, const TSkin*) override { return 0; }
    int ShowPicture(const TSkin*) override { return 0; }
};
