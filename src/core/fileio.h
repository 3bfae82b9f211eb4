#pragma once

#include <string>
#include <string_view>

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& contents);

// Replaces a file with new contents so that a crash at any moment leaves
// either the old file or the complete new one: the contents go to a file
// beside it, are flushed to disk, and are renamed over it. On failure the old
// file is left as it was.
bool ReplaceFileContents(const std::string& path, std::string_view contents);

// Writes all bytes to an open file descriptor; false on any failure.
bool WriteAll(int fd, std::string_view data);

// Writes a whole file (created or emptied first); false on any failure.
bool WriteWholeFile(const std::string& path, std::string_view contents);
