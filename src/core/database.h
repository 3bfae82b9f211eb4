#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The library database file ("tune.crate"), versions 103 to 107 and higher.
// All integers are 32-bit signed little-endian; a string is a length and that
// many bytes of text, without terminator. Layout as written (version 107):
// version, two reserved strings, the item records (type, record text), the
// favourites, playlist and now-playing entries (type, file name) each after
// their count, the now-playing index, and the tree texts of the all-items,
// favourites and playlist boxes.

inline constexpr int32_t kDatabaseVersion = 107;
inline constexpr const char* kDatabaseVersionError = "索引信息库版本不支持 !";

// What a database file holds, as views into its bytes.
struct TDatabaseImage {
    using Pair = std::pair<std::string_view, std::string_view>; // type, then text or file name

    int32_t version = 0;
    bool rejected = false; // a version below 103, or 104
    std::string_view reservedA, reservedB;
    std::vector<Pair> records;
    std::vector<Pair> favourites, playlist, nowPlaying;
    int32_t nowPlayingIndex = -1;
    std::vector<std::string_view> trees; // as many as were read: all items, favourites, playlist
    // Empty when the file was read to its end; otherwise where reading
    // stopped. What was read before that stays.
    std::string damage;
};

// Reads as much of the file as is sound: a negative length, a length past
// the end, an empty record text or file name, or an early end stops it.
TDatabaseImage ParseDatabase(std::string_view bytes);

// Appends the fields of the layout.
class TDatabaseWriter {
public:
    void Integer(int32_t value);
    void String(std::string_view text);
    std::string& Bytes() { return bytes_; }

private:
    std::string bytes_;
};
