#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/box.h"

class TMObj;
class TPlugIns;

// A database whose version the program cannot read.
class TDatabaseVersionError : public std::runtime_error {
public:
    TDatabaseVersionError();
};

// The library: every media item, owned, and the four standard boxes at the
// roots of the tree. It is read from the database file when it is made and
// written back when it is destroyed.
class TTUNECRATE {
public:
    // Reads databaseFile; a missing file gives an empty library. Throws
    // TDatabaseVersionError for a version it cannot read, and then writes nothing.
    TTUNECRATE(const TPlugIns& registry, std::string databaseFile, std::string backupFile);
    ~TTUNECRATE();
    TTUNECRATE(const TTUNECRATE&) = delete;
    TTUNECRATE& operator=(const TTUNECRATE&) = delete;

    TBOX AllItemsBox{"artist"};
    TBOX FavouritesBox{"artist"};
    TBOX PlaylistBox{"not sort"};
    TBOX NowPlayingBox{"not sort"};
    // Index into NowPlayingBox's own items of the item being played; -1 for none.
    int NowPlayingIndex = -1;

    // Adds one audio file unless the library holds its exact name already.
    void AddFile(const std::string& fileName);
    // Takes the item out of the item list (not out of boxes); the caller owns it then.
    std::unique_ptr<TMObj> RemoveItem(TMObj* item);
    int Count() const { return static_cast<int>(items_.size()); }
    TMObj* GetItem(int index) const;
    // The first item, in list order, of exactly that file name.
    TMObj* FindByFileName(const std::string& fileName) const;
    void SetNowPlayingIndex(int index) { NowPlayingIndex = index; }

    int Version() const { return version_; }
    const std::string& ReservedA() const { return reservedA_; }
    const std::string& ReservedB() const { return reservedB_; }

    // Writes "tune.bak", flushed to disk, then replaces the database file
    // with the same bytes in one rename. A failed save leaves the database
    // file as it was. The destructor saves too.
    bool Save();

private:
    void Load();
    void Adopt(std::unique_ptr<TMObj> item);
    void RestoreEntries(const std::vector<std::pair<std::string_view, std::string_view>>& entries, TBOX& box);

    const TPlugIns& registry_;
    std::string databaseFile_;
    std::string backupFile_;
    std::vector<std::unique_ptr<TMObj>> items_;
    std::unordered_map<std::string, TMObj*> byFileName_;
    int version_ = 0;
    std::string reservedA_;
    std::string reservedB_;
};
