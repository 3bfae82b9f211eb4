#pragma once

#include <string>

class TMP3Tag;

enum class TTagWriteResult {
    Written,
    NotWritten, // the file is as it was
    // The copy over the file failed half way: the file is damaged, and
    // PendingTagCopy names the complete new file kept in the data folder.
    CopyKept,
};

// Writes an item's values into its MPEG file: a new ID3v2.3 tag in place of
// the old ID3v2 tag, the audio bytes unchanged, and one ID3v1 tag at the end.
// Frames of the old tag that gave the item no value are carried over.
//
// The new file is made beside the old one (the real file when the name is a
// symbolic link), flushed, and renamed over it, so that a crash leaves either
// file whole. Where that folder cannot be written, the new file is made in
// the data folder ("temp.dat"), room for it is reserved in the old file, and
// it is copied over the old one, which is then read back; "temp.dat" stays
// until the file is whole. Temporary files a killed write left beside the
// music are removed the next time a tag is written in that folder.
TTagWriteResult WriteTags(const TMP3Tag& item);

// The complete new file of a copy that did not finish (the program was
// killed, or the copy failed): its path in dataFolder, and in target the
// audio file it belongs to. Empty when there is none; a leftover whose audio
// file is whole after all is removed. While one is pending, no other copy
// is made.
std::string PendingTagCopy(const std::string& dataFolder, std::string& target);
