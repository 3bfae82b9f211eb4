#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TSkin;
class TMObj;

// Whoever lists items by file name, told of each change of an item's name.
class TFileNameWatcher {
public:
    virtual void FileNameChanged(TMObj& item, const std::string& oldName) = 0;

protected:
    ~TFileNameWatcher() = default;
};

// A media item: one audio file of the library, reached only through these
// operations. The declaration order is fixed.
class TMObj {
public:
    virtual ~TMObj() = default;

    virtual int FillFrameList(std::vector<std::string>* list) = 0;
    virtual std::string GetFrameKind(const std::string& name) const = 0;
    virtual std::string GetLyrics() const = 0;
    virtual int SetLyrics(const std::string& text) = 0;
    virtual std::string GetTitle() const = 0;
    virtual int SetTitle(const std::string& text) = 0;
    virtual std::string GetArtist() const = 0;
    virtual int SetArtist(const std::string& text) = 0;
    virtual std::string GetAlbum() const = 0;
    virtual int SetAlbum(const std::string& text) = 0;
    virtual std::string GetYear() const = 0;
    virtual int SetYear(const std::string& text) = 0;
    virtual std::string GetGenre() = 0;
    // The genre GetGenre gives, without storing it: readers on other threads
    // and painting use this one.
    virtual std::string GenreOrDefault() const = 0;
    virtual int SetGenre(const std::string& text) = 0;
    virtual std::string GetComment() const = 0;
    virtual int SetComment(const std::string& text) = 0;
    virtual int32_t GetDateModified() const = 0;
    virtual std::string GetValue(const std::string& key) const = 0;
    virtual int SetValue(const std::string& key, const std::string& value) = 0;
    virtual int32_t GetBitrate() const = 0;
    virtual int32_t GetFrequency() const = 0;
    virtual std::string GetChannel() const = 0;
    virtual int32_t GetDuration() const = 0;
    virtual int64_t GetFileSize() const = 0;
    virtual std::string GetFileName() const = 0;
    virtual std::string GetPictureFileName() const = 0;
    virtual int LoadFromFile(const std::string& path) = 0;
    virtual int LoadFromText(std::string_view text) = 0;
    virtual int SaveIfModified() = 0;
    virtual std::string GetText() const = 0;
    virtual int ReloadTags() = 0;
    virtual std::string GetFileType() const = 0;
    virtual bool IsValid() const = 0;
    virtual int ShowProperties(const std::string& page, const TSkin* skin) = 0;
    virtual int ShowPicture(const TSkin* skin) = 0;

    // Set by the library that lists the item: the index to tell when the file
    // name changes, and the item's place in the library's list.
    void SetListing(TFileNameWatcher* watcher, uint64_t order) {
        watcher_ = watcher;
        listOrder_ = order;
    }
    uint64_t ListOrder() const { return listOrder_; }

protected:
    // Called by every operation that may change the file name.
    void FileNameMayHaveChanged(const std::string& oldName) {
        if (watcher_ != nullptr && GetFileName() != oldName) watcher_->FileNameChanged(*this, oldName);
    }
    bool Listed() const { return watcher_ != nullptr; }

private:
    TFileNameWatcher* watcher_ = nullptr;
    uint64_t listOrder_ = 0;
};
