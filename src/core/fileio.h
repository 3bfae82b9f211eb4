#pragma once

#include <ctime>
#include <string>
#include <string_view>

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& contents);

// A whole file mapped into memory for reading.
class TMappedFile {
public:
    TMappedFile() = default;
    ~TMappedFile();
    TMappedFile(const TMappedFile&) = delete;
    TMappedFile& operator=(const TMappedFile&) = delete;

    // False when the path cannot be opened or is not a regular file.
    bool Open(const std::string& path);
    std::string_view Bytes() const { return {static_cast<const char*>(data_), size_}; }

private:
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

// A file's new contents, written whole and flushed to disk beside it (as
// path + ".new") and then renamed over it, so that a crash at any moment
// leaves either the old file or the complete new one. Contents written but
// never put in place are removed again.
class TPendingFile {
public:
    TPendingFile() = default;
    ~TPendingFile();
    TPendingFile(const TPendingFile&) = delete;
    TPendingFile& operator=(const TPendingFile&) = delete;

    // False when the contents could not be written whole; the old file is
    // untouched and Error() says why.
    bool Write(const std::string& path, std::string_view contents);
    // Renames the written contents over the file and flushes its folder.
    bool Commit();
    const std::string& Path() const { return path_; }
    // Why the last step failed, as the system tells it; empty when none did.
    const std::string& Error() const { return error_; }

private:
    bool Fail(const char* step);

    std::string path_;
    std::string error_;
    bool pending_ = false;
};

// Replaces a file with new contents through a TPendingFile. On failure the
// old file is left as it was and error (when given) says why.
bool ReplaceFileContents(const std::string& path, std::string_view contents, std::string* error = nullptr);

// Flushes a folder's entries (a rename in it) to disk.
void SyncFolder(const std::string& folder);
// Flushes the entries of the folder a path is in.
void SyncFolderOf(const std::string& path);

// Writes all bytes to an open file descriptor; false on any failure.
bool WriteAll(int fd, std::string_view data);

// Writes a whole file (created or emptied first); false on any failure.
bool WriteWholeFile(const std::string& path, std::string_view contents);

// Whether anything (a file, a folder, a dangling link) has that name.
bool PathExists(const std::string& path);

// Renames a file out of the way, replacing an older file of the new name,
// and flushes the folder; false when it could not be moved.
bool MoveAside(const std::string& path, const std::string& newPath);

// When the process started, as a time of the file system's clock.
struct timespec ProcessStartTime();

// Removes a temporary file of ours that a killed run left behind: a regular
// file last changed before this process started. A file of that name that a
// running process is still writing is newer and stays.
void RemoveOwnLeftover(const std::string& path);
