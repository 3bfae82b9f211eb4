#include "media/mp3tag.h"

#include <algorithm>

#include "core/bytesource.h"
#include "core/paths.h"
#include "media/mp3const.h"
#include "media/tagreader.h"
#include "media/tagwriter.h"

int TMP3Tag::FillFrameList(std::vector<std::string>* list) {
    if (list == nullptr) return -1;
    list->clear();
    for (const TFrameEntry& entry : kFrameTable) list->emplace_back(entry.text);
    return static_cast<int>(kFrameCount);
}

std::string TMP3Tag::GetFrameKind(const std::string& name) const {
    if (name.size() >= 4) {
        const std::string_view id = std::string_view(name).substr(0, 4);
        for (const TFrameEntry& entry : kFrameTable)
            if (entry.text.substr(0, 4) == id) return std::string(entry.kind);
    }
    return "STRING";
}

std::string TMP3Tag::GetTitle() const {
    std::string title = values_.Get("TIT2");
    return title.empty() ? FileNamePart(GetFileName()) : title;
}

std::string TMP3Tag::GenreOrDefault() const {
    std::string genre = values_.Get("TCON");
    if (!genre.empty()) return genre;
    const std::string_view code = values_.GetView("genre");
    return std::string(GenreName(code.empty() ? 0 : static_cast<unsigned char>(code.front())));
}

std::string TMP3Tag::GetGenre() {
    std::string genre = GenreOrDefault();
    if (!values_.Has("TCON")) values_.Set("TCON", genre);
    return genre;
}

int TMP3Tag::SetGenre(const std::string& text) { return SetAndMark("TCON", TrimControl(text)); }

std::string TMP3Tag::GetValue(const std::string& key) const {
    std::string value = values_.Get(key);
    if (key != "USLT" || value.find("\\,") == std::string::npos) return value;
    // Lyrics stored with "\," between their lines come back as lines.
    std::string lines;
    bool collected = false;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t cut = value.find("\\,", pos);
        const std::string_view piece = std::string_view(value).substr(pos, cut == std::string::npos ? cut : cut - pos);
        if (collected) {
            if (cut != std::string::npos || !piece.empty()) lines.append("\r\n").append(piece);
        } else if (!piece.empty()) {
            lines = piece;
            collected = true;
        }
        if (cut == std::string::npos) break;
        pos = cut + 2;
    }
    return lines;
}

int32_t TMP3Tag::GetDuration() const {
    const int64_t bitrate = GetBitrate();
    if (bitrate == 0) return 0;
    return static_cast<int32_t>(GetFileSize() * 8 / (bitrate * 1000));
}

std::string TMP3Tag::GetPictureFileName() const {
    const std::string_view count = values_.GetView("APIC.num");
    if (count.empty() || count == "0") return {};
    return env_->DataFolder + values_.Get("APIC.0.filename");
}

std::vector<std::string> TMP3Tag::PictureList() const {
    const auto count = std::min<int64_t>(NumberValue("APIC.num"), static_cast<int64_t>(values_.Count()));
    std::vector<std::string> list;
    for (int64_t n = 0; n < count; ++n)
        list.push_back(env_->DataFolder + values_.Get("APIC." + std::to_string(n) + ".filename"));
    return list;
}

int TMP3Tag::SetAndMark(std::string_view key, std::string_view text) {
    values_.Set(key, text);
    SetModified(true);
    return 0;
}

void TMP3Tag::StoreFileFacts(const TFileSource& file) {
    values_.Set("TC_SIZE", std::to_string(file.Size()));
    values_.Set("date_modified", std::to_string(DosDateTime(file.ModifiedTime())));
}

int TMP3Tag::ReadFile(const std::string& path, bool id3v1First) {
    // An item read before keeps its values while its file cannot be opened:
    // a drive that is not mounted must not empty the library.
    TFileSource file;
    if (!file.Open(path)) return -1;
    values_.Clear();
    values_.Set("filename", path);
    TTagReader reader(*this, file);
    if (!id3v1First) {
        reader.ReadID3v2();
        if (values_.GetView("TAG") != "ID3") reader.ReadID3v1();
    } else {
        reader.ReadID3v1();
        if (values_.GetView("TAG") != "TAG") {
            reader.ReadID3v2();
        } else {
            reader.ScanHeader(0);
        }
    }
    StoreFileFacts(file);
    values_.Compact();
    return 0;
}

int TMP3Tag::LoadFromFile(const std::string& path) {
    return ChangingValues([&] { return ReadFile(path, false); });
}

int TMP3Tag::ReloadTags() {
    // An item that had only an ID3v1 tag looks at it first, and at the start
    // of the file only when it has gone.
    if (ReadFile(GetFileName(), values_.GetView("TAG") == "TAG") != 0) return -1;
    SetModified(false);
    values_.Compact();
    return 0;
}

int TMP3Tag::SaveIfModified() {
    if (!IsModified()) return 0;
    switch (WriteTags(*this)) {
    case TTagWriteResult::Written: break;
    case TTagWriteResult::NotWritten: return -1;
    case TTagWriteResult::CopyKept: return -2;
    }
    values_.Set("TAG", "ID3");
    TFileSource file;
    if (file.Open(GetFileName())) StoreFileFacts(file);
    SetModified(false);
    return 0;
}

int TMP3Tag::ShowProperties(const std::string& page, const TSkin* skin) {
    return env_->Windows != nullptr ? env_->Windows->ShowProperties(*this, page, skin) : 0;
}

int TMP3Tag::ShowPicture(const TSkin* skin) {
    return env_->Windows != nullptr ? env_->Windows->ShowPicture(*this, skin) : 0;
}
