#include "media/mp3const.h"

const std::array<TFrameEntry, kFrameCount> kFrameTable = {{
    {"TALB=Album/Movie/Show title", "STRING"},
    {"TBPM=BPM (beats per minute)", "STRING"},
    {"TCOM=Composer", "STRING"},
    {"TCON=Content type", "STRING"},
    {"TCOP=Copyright message", "STRING"},
    {"TDEN=Encoding time", "STRING"},
    {"TDLY=Playlist delay", "STRING"},
    {"TDOR=Original release time", "STRING"},
    {"TDRC=Recording time", "STRING"},
    {"TDRL=Release time", "STRING"},
    {"TDTG=Tagging time", "STRING"},
    {"TENC=Encoded by", "STRING"},
    {"TEXT=Lyricist/Text writer", "TEXT"},
    {"TFLT=File type", "STRING"},
    {"TIPL=Involved people list", "STRING"},
    {"TIT1=Content group description", "STRING"},
    {"TIT2=Title/songname/content description", "STRING"},
    {"TIT3=Subtitle/Description refinement", "STRING"},
    {"TKEY=Initial key", "STRING"},
    {"TLAN=Language(s)", "STRING"},
    {"TLEN=Length", "STRING"},
    {"TMCL=Musician credits list", "STRING"},
    {"TMED=Media type", "STRING"},
    {"TMOO=Mood", "STRING"},
    {"TOAL=Original album/movie/show title", "STRING"},
    {"TOFN=Original filename", "FILE"},
    {"TOLY=Original lyricist(s)/text writer(s)", "STRING"},
    {"TOPE=Original artist(s)/performer(s)", "STRING"},
    {"TOWN=File owner/licensee", "TEXT"},
    {"TPE1=Lead performer(s)/Soloist(s)", "STRING"},
    {"TPE2=Band/orchestra/accompaniment", "STRING"},
    {"TPE3=Conductor/performer refinement", "STRING"},
    {"TPE4=Interpreted, remixed, or otherwise modified by", "STRING"},
    {"TPOS=Part of a set", "STRING"},
    {"TPRO=Produced notice", "STRING"},
    {"TPUB=Publisher", "STRING"},
    {"TRCK=Track number/Position in set", "STRING"},
    {"TRSN=Internet radio station name", "STRING"},
    {"TRSO=Internet radio station owner", "STRING"},
    {"TSOA=Album sort order", "STRING"},
    {"TSOP=Performer sort order", "STRING"},
    {"TSOT=Title sort order", "STRING"},
    {"TSRC=ISRC (international standard recording code)", "STRING"},
    {"TSSE=Software/Hardware and settings used for encoding", "STRING"},
    {"TSST=Set subtitle", "STRING"},
    {"TXXX=User defined text information frame", "TEXT"},
    {"AENC=Audio encryption", "STRING"},
    {"APIC=Attached picture", "STRING"},
    {"ASPI=Audio seek point index", "STRING"},
    {"COMM=Comments", "STRING"},
    {"COMR=Commercial frame", "STRING"},
    {"ENCR=Encryption method registration", "STRING"},
    {"EQU2=Equalisation (2)", "STRING"},
    {"ETCO=Event timing codes", "STRING"},
    {"GEOB=General encapsulated object", "STRING"},
    {"GRID=Group identification registration", "STRING"},
    {"LINK=Linked information", "STRING"},
    {"MCDI=Music CD identifier", "STRING"},
    {"MLLT=MPEG location lookup table", "STRING"},
    {"OWNE=Ownership frame", "STRING"},
    {"PRIV=Private frame", "STRING"},
    {"PCNT=Play counter", "STRING"},
    {"POPM=Popularimeter", "STRING"},
    {"POSS=Position synchronisation frame", "STRING"},
    {"RBUF=Recommended buffer size", "STRING"},
    {"RVA2=Relative volume adjustment (2)", "STRING"},
    {"RVRB=Reverb", "STRING"},
    {"SEEK=Seek frame", "STRING"},
    {"SIGN=Signature frame", "STRING"},
    {"SYLT=Synchronised lyric/text", "STRING"},
    {"SYTC=Synchronised tempo codes", "STRING"},
    {"UFID=Unique file identifier", "STRING"},
    {"USER=Terms of use", "STRING"},
    {"USLT=Unsynchronised lyric/text transcription", "TEXT"},
    {"WCOM=Commercial information", "STRING"},
    {"WCOP=Copyright/Legal information", "STRING"},
    {"WOAF=Official audio file webpage", "URL"},
    {"WOAR=Official artist/performer webpage", "URL"},
    {"WOAS=Official audio source webpage", "URL"},
    {"WORS=Official Internet radio station homepage", "URL"},
    {"WPAY=Payment", "STRING"},
    {"WPUB=Publishers official webpage", "URL"},
    {"WXXX=User defined URL link frame", "STRING"},
}};

const std::array<std::string_view, kGenreCount> kGenreTable = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal",
    "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial",
    "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop",
    "Vocal", "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House", "Game",
    "Sound Clip", "Gospel", "Noise", "AlternRock", "Bass", "Soul", "Punk", "Space", "Meditative",
    "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic", "Darkwave", "Techno-Industrial",
    "Electronic", "Pop-Folk", "Eurodance", "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40",
    "Christian Rap", "Pop/Funk", "Jungle", "Native American", "Cabaret", "New Wave", "Psychadelic", "Rave",
    "Showtunes", "Trailer", "Lo-Fi", "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical",
    "Rock & Roll", "Hard Rock", "Folk", "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebob",
    "Latin", "Revival", "Celtic", "Bluegrass", "Avantgarde", "Gothic Rock", "Progressive Rock",
    "Psychedelic Rock", "Symphonic Rock", "Slow Rock", "Big Band", "Chorus", "Easy Listening", "Acoustic",
    "Humour", "Speech", "Chanson", "Opera", "Chamber Music", "Sonata", "Symphony", "Booty Brass", "Primus",
    "Porn Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba", "Folklore", "Ballad", "Poweer Ballad",
    "Rhytmic Soul", "Freestyle", "Duet", "Punk Rock", "Drum Solo", "A Capela", "Euro-House", "Dance Hall",
};

const std::array<std::string_view, 4> kChannelNames = {"Stereo", "Joint stereo", "Dual channel", "Single channel"};

std::string_view GenreName(int number) {
    if (number < 0 || number >= static_cast<int>(kGenreCount)) return kGenreTable[kOtherGenre];
    return kGenreTable[static_cast<std::size_t>(number)];
}

std::string_view TrimControl(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
    return text;
}

unsigned char GenreIndex(std::string_view name) {
    name = TrimControl(name);
    for (std::size_t i = 0; i < kGenreCount; ++i)
        if (kGenreTable[i] == name) return static_cast<unsigned char>(i);
    return kOtherGenre;
}
