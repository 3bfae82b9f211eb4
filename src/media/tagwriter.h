#pragma once

class TMP3Tag;

// Writes an item's values into its MPEG file: a new ID3v2.3 tag in place of
// the old ID3v2 tag, the audio bytes unchanged, and one ID3v1 tag at the end.
// Frames of the old tag that gave the item no value are carried over.
//
// The new file is made beside the old one (the real file when the name is a
// symbolic link), flushed, and renamed over it, so that a crash leaves either
// file whole. Where that folder cannot be written, the new file is made in
// the data folder and copied over the old one, which is then read back.
//
// False when the file could not be written; it is then left as it was (a
// failing copy over the old file is the one case that cannot promise that).
bool WriteTags(const TMP3Tag& item);
