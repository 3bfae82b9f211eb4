#pragma once

#include <array>
#include <string>
#include <string_view>

// Constant tables of the MPEG item: ID3v2 frames, ID3v1 genres, channel modes.

struct TFrameEntry {
    std::string_view text; // "ID=Description"
    std::string_view kind; // "STRING", "TEXT", "URL" or "FILE"
};

inline constexpr std::size_t kFrameCount = 83;
inline constexpr std::size_t kGenreCount = 126;
inline constexpr int kOtherGenre = 12;

extern const std::array<TFrameEntry, kFrameCount> kFrameTable;
extern const std::array<std::string_view, kGenreCount> kGenreTable;
extern const std::array<std::string_view, 4> kChannelNames;

// The genre at an ID3v1 genre number; "Other" outside 0..125.
std::string_view GenreName(int number);
// The number of a genre name (trimmed of codes 0 to 32, compared exactly); 12
// ("Other") for a name not in the table.
unsigned char GenreIndex(std::string_view name);

// Removes leading and trailing characters with codes 0 to 32.
std::string_view TrimControl(std::string_view text);
