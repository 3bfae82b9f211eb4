#pragma once

#include <span>
#include <string_view>

// The bodies of the fuzz targets. Each feeds arbitrary bytes to one reader,
// or through a round trip of reading and writing again, and aborts when the
// result breaks a rule the round trip must keep, so that libFuzzer reports
// the input as it reports a crash. The libFuzzer executables call them, and
// a unit test runs every file fuzzing found through them again.
struct TFuzzTarget {
    std::string_view name; // also the folder of its findings in tests/data/regress/
    void (*run)(std::string_view bytes);
};

// Every target, in a fixed order.
std::span<const TFuzzTarget> FuzzTargets();
// None for a name no target has.
const TFuzzTarget* FindFuzzTarget(std::string_view name);

// ID3v2 and ID3v1 reading of the bytes as an audio file, and the reading the
// tag writer does of an old tag.
void FuzzTagReader(std::string_view bytes);
// The bytes as an MP3 file whose tags are written anew, read back and
// written again: both written files are the same, the audio is untouched.
void FuzzTagWriter(std::string_view bytes);
// The first-frame search, against a plain byte-by-byte search.
void FuzzMpegHeader(std::string_view bytes);
// The database reader; a file read whole is what its fields written again give.
void FuzzDatabase(std::string_view bytes);
// The bytes as "tune.crate": loaded, saved and loaded again into the same
// library, saved again into the same bytes.
void FuzzLibrary(std::string_view bytes);
// Items, a NUL byte and a tree text: the tree text given to a box of the
// items, and the box's own tree text given to another box of them.
void FuzzTreeText(std::string_view bytes);
// The bytes as the settings file, read, written and read again.
void FuzzSettings(std::string_view bytes);
// The bytes as an ".m3u" and as a ".wpl" playlist, and the playlists written
// of the entries read.
void FuzzPlaylist(std::string_view bytes);
