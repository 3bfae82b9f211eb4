#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/box.h"
#include "media/mobj.h"

class TPlugIns;
struct TDatabaseImage;

// A database whose version the program cannot read.
class TDatabaseVersionError : public std::runtime_error {
public:
    TDatabaseVersionError();
};

// How the database was read, for the window to tell the user.
struct TLibraryLoadReport {
    // "tune.crate" could not be read whole (or is missing), and "tune.bak"
    // could: the library is the backup's.
    bool restoredFromBackup = false;
    // Neither file could be read whole: the library holds what the better one
    // gave.
    bool damaged = false;
    int itemsRead = 0;
    // Damaged files are moved aside before anything is written: their new names.
    std::vector<std::string> keptAs;
    // A damaged file that could not be moved aside: the library is then not
    // saved over it.
    std::string notMoved;
};

// Why a save of the library failed.
struct TLibrarySaveFailure {
    std::string file;   // the file that could not be written or replaced
    std::string reason; // as the system tells it; empty when a damaged file is in the way
    // The backup was replaced and the database was not: the backup is the
    // newer file.
    bool backupNewer = false;
};

// The library: every media item, owned, and the four standard boxes at the
// roots of the tree. It is read from the database file when it is made and
// written back when it is destroyed.
class TTUNECRATE : private TFileNameWatcher {
public:
    // Reads databaseFile, or the backup when the database cannot be read whole;
    // neither file gives an empty library. Throws TDatabaseVersionError for a
    // version it cannot read, and then writes nothing.
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
    // Takes the item out of the item list (not out of boxes) and out of the
    // file-name index. The library keeps it alive until it is destroyed, since
    // boxes may still show it; it is no longer saved. False when the item is
    // not in the list.
    bool RemoveItem(TMObj* item);
    // As RemoveItem of each, in one pass over the list.
    void RemoveItems(const std::vector<TMObj*>& items);
    int Count() const { return static_cast<int>(items_.size()); }
    TMObj* GetItem(int index) const;
    // The first item, in list order, of exactly that file name.
    TMObj* FindByFileName(const std::string& fileName) const;
    void SetNowPlayingIndex(int index) { NowPlayingIndex = index; }

    int Version() const { return version_; }
    const std::string& ReservedA() const { return reservedA_; }
    const std::string& ReservedB() const { return reservedB_; }
    const TLibraryLoadReport& LoadReport() const { return report_; }

    // Writes the new database and backup whole beside their files, flushed
    // to disk, then renames the backup and then the database into place. A
    // save that fails while writing leaves both files as they were;
    // SaveFailure() tells why. The destructor saves too, unless told not to.
    bool Save();
    const TLibrarySaveFailure& SaveFailure() const { return failure_; }
    // Where saves go from now on (a library read from elsewhere, or saved
    // to another folder when its own cannot be written).
    void SaveTo(std::string databaseFile, std::string backupFile);
    const std::string& DatabaseFile() const { return databaseFile_; }
    const std::string& BackupFile() const { return backupFile_; }
    // The destructor writes nothing: whoever closes the library has saved it
    // or told the user why it could not be saved.
    void SkipSaveAtDestruction() { saveAtDestruction_ = false; }

private:
    struct TEntry {
        std::unique_ptr<TMObj> item;
        uint32_t type; // into types_: the record type the item was made for
    };

    void Load();
    void Apply(const TDatabaseImage& image);
    void Adopt(std::unique_ptr<TMObj> item, const std::string& type);
    void Retire(TEntry& entry);
    void Index(TMObj* item, const std::string& name);
    void Unindex(TMObj* item, const std::string& name);
    void FileNameChanged(TMObj& item, const std::string& oldName) override;
    void RestoreEntries(const std::vector<std::pair<std::string_view, std::string_view>>& entries, TBOX& box);

    const TPlugIns& registry_;
    std::string databaseFile_;
    std::string backupFile_;
    std::vector<TEntry> items_; // in list order, so by ListOrder too
    std::vector<std::string> types_;
    // The first item of each name; the others of a name wait in shadowed_.
    std::unordered_map<std::string, TMObj*> byFileName_;
    std::unordered_multimap<std::string, TMObj*> shadowed_;
    std::vector<std::unique_ptr<TMObj>> retired_;
    uint64_t lastOrder_ = 0;
    int version_ = 0;
    std::string reservedA_;
    std::string reservedB_;
    TLibraryLoadReport report_;
    TLibrarySaveFailure failure_;
    // A damaged file that could not be moved aside, while saves would go over it.
    std::string inTheWay_;
    bool saveAtDestruction_ = true;
};
