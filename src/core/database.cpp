#include "core/database.h"

#include <cstring>

namespace {

class TReader {
public:
    explicit TReader(std::string_view bytes) : bytes_(bytes) {}

    bool Integer(int32_t& value) {
        if (bytes_.size() - pos_ < 4) return false;
        const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + pos_);
        value = static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                     static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
        pos_ += 4;
        return true;
    }
    bool String(std::string_view& text) {
        int32_t length = 0;
        if (!Integer(length) || length < 0 || static_cast<std::size_t>(length) > bytes_.size() - pos_) return false;
        text = bytes_.substr(pos_, static_cast<std::size_t>(length));
        pos_ += static_cast<std::size_t>(length);
        return true;
    }
    std::size_t Position() const { return pos_; }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

// A count of entries that cannot possibly fit in what is left is damage too,
// so that no list is sized by what a broken file claims.
bool Count(TReader& reader, int32_t& count) { return reader.Integer(count) && count >= 0; }

bool Entries(TReader& reader, std::vector<TDatabaseImage::Pair>& list, const char* what, std::string& damage) {
    int32_t count = 0;
    if (!Count(reader, count)) {
        damage = std::string("the ") + what + " count";
        return false;
    }
    for (int32_t i = 0; i < count; ++i) {
        TDatabaseImage::Pair entry;
        if (!reader.String(entry.first) || !reader.String(entry.second) || entry.second.empty()) {
            damage = std::string(what) + " entry " + std::to_string(i);
            return false;
        }
        list.push_back(entry);
    }
    return true;
}

} // namespace

TDatabaseImage ParseDatabase(std::string_view bytes) {
    TDatabaseImage image;
    TReader reader(bytes);
    auto stop = [&](std::string what) {
        image.damage = std::move(what) + " at byte " + std::to_string(reader.Position());
        return image;
    };
    if (!reader.Integer(image.version)) return stop("the version");
    if (image.version < 103 || image.version == 104) {
        image.rejected = true;
        return image;
    }
    if (image.version >= 105 && (!reader.String(image.reservedA) || !reader.String(image.reservedB)))
        return stop("the reserved strings");
    int32_t count = 0;
    if (!Count(reader, count)) return stop("the item count");
    for (int32_t i = 0; i < count; ++i) {
        TDatabaseImage::Pair record;
        if (!reader.String(record.first) || !reader.String(record.second) || record.second.empty())
            return stop("item record " + std::to_string(i));
        image.records.push_back(record);
    }
    std::string damage;
    if (image.version >= 106 && (!Entries(reader, image.favourites, "favourites", damage) ||
                                 !Entries(reader, image.playlist, "playlist", damage)))
        return stop(damage);
    if (image.version >= 107) {
        if (!Entries(reader, image.nowPlaying, "now-playing", damage)) return stop(damage);
        if (!reader.Integer(image.nowPlayingIndex)) return stop("the now-playing index");
    }
    const int trees = image.version >= 106 ? 3 : 1;
    for (int i = 0; i < trees; ++i) {
        std::string_view tree;
        if (!reader.String(tree)) return stop("tree text " + std::to_string(i));
        image.trees.push_back(tree);
    }
    return image;
}

void TDatabaseWriter::Integer(int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    const char bytes[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 24)};
    bytes_.append(bytes, 4);
}

void TDatabaseWriter::String(std::string_view text) {
    Integer(static_cast<int32_t>(text.size()));
    bytes_.append(text);
}
