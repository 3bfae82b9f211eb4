#include "search/searchcriteria.h"

#include "media/mp3const.h"
#include "media/mobj.h"

namespace {

// The value is read only when the criterion is set.
template <typename Read>
bool Holds(const std::string& wanted, Read read) {
    return wanted.empty() || read().find(wanted) != std::string::npos;
}

} // namespace

void TSearchCriteria::Trim() {
    for (std::string* text : {&title, &artist, &year, &genre, &album, &lyrics}) *text = std::string(TrimControl(*text));
}

bool TSearchCriteria::Matches(const TMObj& item) const {
    if (!Holds(title, [&] { return item.GetTitle(); }) || !Holds(artist, [&] { return item.GetArtist(); }) ||
        !Holds(year, [&] { return item.GetYear(); }) || !Holds(genre, [&] { return item.GenreOrDefault(); }) ||
        !Holds(album, [&] { return item.GetAlbum(); }))
        return false;
    if (picture != TPicture::Any) {
        // The picture count compared as text: "1" and "2" sort after "0"; an empty value and "0" do not.
        const bool pictured = item.GetValue("APIC.num") > "0";
        if (pictured != (picture == TPicture::Yes)) return false;
    }
    return Holds(lyrics, [&] { return item.GetLyrics(); });
}
