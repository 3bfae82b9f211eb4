#pragma once

#include "media/valueitem.h"

// An MPEG audio file (".mp3", ".mp2"): its values come from the ID3v2 or
// ID3v1 tag and the first MPEG frame header of the file.
class TMP3Tag final : public TValueItem {
public:
    using TValueItem::TValueItem;

    int FillFrameList(std::vector<std::string>* list) override;
    std::string GetFrameKind(const std::string& name) const override;
    std::string GetLyrics() const override { return GetValue("USLT"); }
    int SetLyrics(const std::string& text) override { return SetAndMark("USLT", text); }
    std::string GetTitle() const override;
    int SetTitle(const std::string& text) override { return SetAndMark("TIT2", text); }
    std::string GetArtist() const override { return values_.Get("TPE1"); }
    int SetArtist(const std::string& text) override { return SetAndMark("TPE1", text); }
    std::string GetAlbum() const override { return values_.Get("TALB"); }
    int SetAlbum(const std::string& text) override { return SetAndMark("TALB", text); }
    std::string GetYear() const override { return values_.Get("TYER"); }
    int SetYear(const std::string& text) override { return SetAndMark("TYER", text); }
    std::string GetGenre() override;
    std::string GenreOrDefault() const override;
    int SetGenre(const std::string& text) override;
    std::string GetComment() const override { return values_.Get("COMM"); }
    int SetComment(const std::string& text) override { return SetAndMark("COMM", text); }
    int32_t GetDateModified() const override { return NumberValue("date_modified"); }
    std::string GetValue(const std::string& key) const override;
    int32_t GetBitrate() const override { return NumberValue("TC_BR"); }
    int32_t GetFrequency() const override { return NumberValue("frequency"); }
    std::string GetChannel() const override { return values_.Get("channel"); }
    int32_t GetDuration() const override;
    int64_t GetFileSize() const override { return NumberValue("TC_SIZE"); }
    std::string GetPictureFileName() const override;
    // The full paths of the pictures, by number: "APIC.num" of them (fewer
    // when the count passes the number of values, which cannot all be
    // pictures). A picture's file may be missing.
    std::vector<std::string> PictureList() const;
    int LoadFromFile(const std::string& path) override;
    // 0 written (or nothing to write), -1 not written (the file is as it
    // was), -2 damaged half way: PendingTagCopy names the complete new file.
    int SaveIfModified() override;
    int ReloadTags() override;
    int ShowProperties(const std::string& page, const TSkin* skin) override;
    int ShowPicture(const TSkin* skin) override;

    void SetModified(bool modified) { values_.Set("modified", modified ? "true" : "false"); }
    bool IsModified() const { return values_.GetView("modified") == "true"; }

private:
    int SetAndMark(std::string_view key, std::string_view text);
    // Reads the file's tags and stream information; -1, the values as they
    // were, when it cannot be opened.
    int ReadFile(const std::string& path, bool id3v1First);
    // Fills "TC_SIZE" and "date_modified" from the open file.
    void StoreFileFacts(const class TFileSource& file);

    friend class TTagReader;
};
