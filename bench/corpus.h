#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/tempfolder.h"

// The folder a benchmark works in, removed afterwards. Throws
// std::runtime_error when it cannot be made.
class TBenchFolder : public TTemporaryFolder {
public:
    TBenchFolder();
};

struct TCorpusFile {
    std::string path;
    std::string title; // the TIT2 text, UTF-8
};

struct TCorpus {
    std::vector<TCorpusFile> files; // in the order they were written
    int64_t bytes = 0;
};

// Writes `count` MP3 files below root (ending with "/"), as a collection
// looks: a folder per artist (about 50 files each), a folder per album in it,
// files named "NN - Title.mp3". Every file has an ID3v2.3 tag with the common
// text frames and 256 bytes of padding, then 100 to 400 KB of MPEG frames;
// about one in five has a 20 KB cover, one in ten lyrics, one in three an
// ID3v1 tag at its end, and some names are Chinese in UTF-16. A count always
// gives the same files. Throws std::runtime_error when a file cannot be written.
TCorpus GenerateCorpus(const std::string& root, int count);

// Writes back what the file system holds of the folder's files, so that the
// pages still to be written do not compete with timed reads.
void FlushToDisk(const std::string& folder);
