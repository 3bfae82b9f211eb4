#pragma once

#include <string>

class TMObj;

// What the search window looks for. An empty text imposes nothing; a set text
// must occur in the item's value exactly as typed (letter case significant),
// after its own leading and trailing spaces and control characters are
// dropped.
struct TSearchCriteria {
    enum class TPicture { Any, Yes, No };

    std::string title;
    std::string artist;
    std::string year;
    std::string genre;
    std::string album;
    TPicture picture = TPicture::Any;
    std::string lyrics;

    // The texts as the user typed them become criteria.
    void Trim();
    // Whether the item meets every criterion. It only reads the item, so a
    // worker may call it while others read the library too.
    bool Matches(const TMObj& item) const;
};
