#include "core/library.h"

#include <algorithm>
#include <unordered_set>

#include "core/database.h"
#include "core/fileio.h"
#include "core/paths.h"
#include "core/plugins.h"
#include "core/treetext.h"

TDatabaseVersionError::TDatabaseVersionError() : std::runtime_error(kDatabaseVersionError) {}

namespace {

// One database file as read: mapped, and parsed as far as it is sound.
struct TDatabaseRead {
    TMappedFile file;
    bool exists = false;
    bool opened = false;
    TDatabaseImage image;

    void Read(const std::string& path) {
        exists = PathExists(path);
        opened = exists && file.Open(path);
        if (opened) image = ParseDatabase(file.Bytes());
    }
    bool Usable() const { return opened && !image.rejected; }
    bool Whole() const { return Usable() && image.damage.empty(); }
};

} // namespace

TTUNECRATE::TTUNECRATE(const TPlugIns& registry, std::string databaseFile, std::string backupFile)
    : registry_(registry), databaseFile_(std::move(databaseFile)), backupFile_(std::move(backupFile)) {
    AllItemsBox.SetName("Tunecrate");
    FavouritesBox.SetName("我的最爱");
    PlaylistBox.SetName("播放列表");
    NowPlayingBox.SetName("正在播放 ...");
    Load();
}

TTUNECRATE::~TTUNECRATE() {
    if (saveAtDestruction_) Save();
}

TMObj* TTUNECRATE::GetItem(int index) const {
    return index >= 0 && index < Count() ? items_[static_cast<std::size_t>(index)].item.get() : nullptr;
}

TMObj* TTUNECRATE::FindByFileName(const std::string& fileName) const {
    const auto found = byFileName_.find(fileName);
    return found == byFileName_.end() ? nullptr : found->second;
}

void TTUNECRATE::Index(TMObj* item, const std::string& name) {
    const auto [first, inserted] = byFileName_.try_emplace(name, item);
    if (inserted) return;
    if (first->second->ListOrder() > item->ListOrder()) std::swap(first->second, item);
    shadowed_.emplace(name, item);
}

void TTUNECRATE::Unindex(TMObj* item, const std::string& name) {
    const auto first = byFileName_.find(name);
    if (first == byFileName_.end()) return;
    const auto [begin, end] = shadowed_.equal_range(name);
    if (first->second != item) {
        const auto found = std::find_if(begin, end, [item](const auto& entry) { return entry.second == item; });
        if (found != end) shadowed_.erase(found);
        return;
    }
    if (begin == end) {
        byFileName_.erase(first);
        return;
    }
    // The next item of that name in list order is found from now on.
    const auto next = std::min_element(
        begin, end, [](const auto& a, const auto& b) { return a.second->ListOrder() < b.second->ListOrder(); });
    first->second = next->second;
    shadowed_.erase(next);
}

void TTUNECRATE::FileNameChanged(TMObj& item, const std::string& oldName) {
    Unindex(&item, oldName);
    Index(&item, item.GetFileName());
}

void TTUNECRATE::Adopt(std::unique_ptr<TMObj> item, const std::string& type) {
    auto known = std::find(types_.begin(), types_.end(), type);
    if (known == types_.end()) known = types_.insert(types_.end(), type);
    TMObj* const adopted = item.get();
    adopted->SetListing(this, ++lastOrder_);
    Index(adopted, adopted->GetFileName());
    AllItemsBox.AddItem(adopted);
    items_.push_back({std::move(item), static_cast<uint32_t>(known - types_.begin())});
}

void TTUNECRATE::AddFile(const std::string& fileName) {
    if (FindByFileName(fileName) != nullptr) return;
    const std::string type = FileExtension(fileName);
    std::unique_ptr<TMObj> item = registry_.CreateItemFor(type);
    if (!item) return;
    item->LoadFromFile(fileName);
    if (item->IsValid()) Adopt(std::move(item), type);
}

void TTUNECRATE::Retire(TEntry& entry) {
    TMObj* const item = entry.item.get();
    Unindex(item, item->GetFileName());
    item->SetListing(nullptr, 0);
    retired_.push_back(std::move(entry.item));
}

bool TTUNECRATE::RemoveItem(TMObj* item) {
    if (item == nullptr || item->ListOrder() == 0) return false;
    const auto found = std::lower_bound(items_.begin(), items_.end(), item->ListOrder(),
                                        [](const TEntry& entry, uint64_t order) { return entry.item->ListOrder() < order; });
    if (found == items_.end() || found->item.get() != item) return false;
    Retire(*found);
    items_.erase(found);
    return true;
}

void TTUNECRATE::RemoveItems(const std::vector<TMObj*>& items) {
    const std::unordered_set<const TMObj*> leaving(items.begin(), items.end());
    auto kept = items_.begin();
    for (TEntry& entry : items_) {
        if (leaving.count(entry.item.get()) != 0) {
            Retire(entry);
        } else {
            if (&*kept != &entry) *kept = std::move(entry);
            ++kept;
        }
    }
    items_.erase(kept, items_.end());
}

void TTUNECRATE::RestoreEntries(const std::vector<TDatabaseImage::Pair>& entries, TBOX& box) {
    for (const auto& [type, name] : entries) {
        TMObj* item = FindByFileName(std::string(name));
        if (item != nullptr && item->IsValid() && !box.Contains(item)) box.AddItem(item);
    }
}

void TTUNECRATE::Load() {
    RemoveOwnLeftover(databaseFile_ + ".new");
    RemoveOwnLeftover(backupFile_ + ".new");
    TDatabaseRead database;
    database.Read(databaseFile_);
    if (database.opened && database.image.rejected) throw TDatabaseVersionError();
    if (database.Whole()) {
        Apply(database.image);
        return;
    }
    TDatabaseRead backup;
    backup.Read(backupFile_);
    if (!database.exists && !backup.exists) return;
    // The save writes the backup whole before it replaces the database, so
    // after a crash in between the backup is the good one.
    if (backup.Whole()) {
        Apply(backup.image);
        report_.restoredFromBackup = true;
    } else {
        const bool backupBetter =
            backup.Usable() && (!database.Usable() || backup.image.records.size() > database.image.records.size());
        const TDatabaseRead& better = backupBetter ? backup : database;
        if (better.Usable()) Apply(better.image);
        report_.damaged = true;
        report_.itemsRead = Count();
    }
    // Nothing is written over a damaged file: it is kept for whoever can
    // repair it.
    for (const auto* read : {&database, &backup}) {
        if (!read->exists || read->Whole()) continue;
        const std::string& path = read == &database ? databaseFile_ : backupFile_;
        if (MoveAside(path, path + ".damaged")) {
            report_.keptAs.push_back(path + ".damaged");
        } else {
            report_.notMoved = path;
            inTheWay_ = path;
        }
    }
}

void TTUNECRATE::Apply(const TDatabaseImage& image) {
    version_ = image.version;
    reservedA_ = image.reservedA;
    reservedB_ = image.reservedB;
    items_.reserve(image.records.size());
    byFileName_.reserve(image.records.size());
    for (const auto& [type, text] : image.records) {
        const std::string kind(type);
        std::unique_ptr<TMObj> item = registry_.CreateItemFor(kind);
        if (!item) continue;
        item->LoadFromText(text);
        if (item->IsValid()) Adopt(std::move(item), kind);
    }
    RestoreEntries(image.favourites, FavouritesBox);
    RestoreEntries(image.playlist, PlaylistBox);
    RestoreEntries(image.nowPlaying, NowPlayingBox);
    NowPlayingIndex = image.nowPlayingIndex;
    TBOX* const boxes[] = {&AllItemsBox, &FavouritesBox, &PlaylistBox};
    for (std::size_t i = 0; i < image.trees.size(); ++i) ApplyTreeText(*boxes[i], image.trees[i]);
}

namespace {

// What a list entry needs to be read again: a record text and a file name,
// neither of them empty (an empty string ends the reading of the file).
bool Storable(const TMObj& item) { return item.IsValid() && !item.GetFileName().empty(); }

} // namespace

void TTUNECRATE::SaveTo(std::string databaseFile, std::string backupFile) {
    databaseFile_ = std::move(databaseFile);
    backupFile_ = std::move(backupFile);
    if (inTheWay_ != databaseFile_ && inTheWay_ != backupFile_) inTheWay_.clear();
}

bool TTUNECRATE::Save() {
    failure_ = {};
    if (!inTheWay_.empty()) {
        failure_.file = inTheWay_;
        return false;
    }
    TDatabaseWriter out;
    version_ = kDatabaseVersion;
    out.Integer(version_);
    out.String(reservedA_);
    out.String(reservedB_);
    const auto records = std::count_if(items_.begin(), items_.end(), [](const TEntry& entry) { return entry.item->IsValid(); });
    out.Integer(static_cast<int32_t>(records));
    for (const TEntry& entry : items_) {
        if (!entry.item->IsValid()) continue;
        out.String(types_[entry.type]);
        out.String(entry.item->GetText());
    }
    int32_t nowPlayingIndex = NowPlayingIndex;
    for (const TBOX* box : {&FavouritesBox, &PlaylistBox, &NowPlayingBox}) {
        std::vector<TMObj*> entries;
        box->CollectItems(entries);
        std::vector<const TMObj*> stored;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (Storable(*entries[i])) {
                stored.push_back(entries[i]);
            } else if (box == &NowPlayingBox && static_cast<int64_t>(i) < NowPlayingIndex) {
                --nowPlayingIndex; // the entry being played keeps its place in the queue
            }
        }
        out.Integer(static_cast<int32_t>(stored.size()));
        for (const TMObj* item : stored) {
            out.String(item->GetFileType());
            out.String(item->GetFileName());
        }
    }
    out.Integer(nowPlayingIndex);
    for (const TBOX* box : {&AllItemsBox, &FavouritesBox, &PlaylistBox}) out.String(TreeText(*box));

    // Both new files are whole on the disk before either old one is
    // replaced: a full disk leaves the two old files untouched.
    TPendingFile backup, database;
    const bool written = backup.Write(backupFile_, out.Bytes()) && database.Write(databaseFile_, out.Bytes());
    if (written && backup.Commit() && database.Commit()) return true;
    const TPendingFile& failed = !backup.Error().empty() ? backup : database;
    failure_.file = failed.Path();
    failure_.reason = failed.Error();
    failure_.backupNewer = written && backup.Error().empty();
    return false;
}
