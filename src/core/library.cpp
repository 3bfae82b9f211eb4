#include "core/library.h"

#include <algorithm>

#include "core/database.h"
#include "core/fileio.h"
#include "core/paths.h"
#include "core/plugins.h"
#include "core/treetext.h"
#include "media/mobj.h"

TDatabaseVersionError::TDatabaseVersionError() : std::runtime_error(kDatabaseVersionError) {}

TTUNECRATE::TTUNECRATE(const TPlugIns& registry, std::string databaseFile, std::string backupFile)
    : registry_(registry), databaseFile_(std::move(databaseFile)), backupFile_(std::move(backupFile)) {
    AllItemsBox.SetName("Tunecrate");
    FavouritesBox.SetName("我的最爱");
    PlaylistBox.SetName("播放列表");
    NowPlayingBox.SetName("正在播放 ...");
    Load();
}

TTUNECRATE::~TTUNECRATE() { Save(); }

TMObj* TTUNECRATE::GetItem(int index) const {
    return index >= 0 && index < Count() ? items_[static_cast<std::size_t>(index)].get() : nullptr;
}

TMObj* TTUNECRATE::FindByFileName(const std::string& fileName) const {
    const auto found = byFileName_.find(fileName);
    return found == byFileName_.end() ? nullptr : found->second;
}

void TTUNECRATE::Adopt(std::unique_ptr<TMObj> item) {
    byFileName_.try_emplace(item->GetFileName(), item.get());
    AllItemsBox.AddItem(item.get());
    items_.push_back(std::move(item));
}

void TTUNECRATE::AddFile(const std::string& fileName) {
    if (FindByFileName(fileName) != nullptr) return;
    std::unique_ptr<TMObj> item = registry_.CreateItemFor(FileExtension(fileName));
    if (!item) return;
    item->LoadFromFile(fileName);
    if (item->IsValid()) Adopt(std::move(item));
}

std::unique_ptr<TMObj> TTUNECRATE::RemoveItem(TMObj* item) {
    const auto found = std::find_if(items_.begin(), items_.end(), [item](const auto& owned) { return owned.get() == item; });
    if (found == items_.end()) return nullptr;
    std::unique_ptr<TMObj> removed = std::move(*found);
    items_.erase(found);
    const std::string name = removed->GetFileName();
    const auto indexed = byFileName_.find(name);
    if (indexed != byFileName_.end() && indexed->second == item) {
        // Another item of the same name, if any, is found from now on.
        byFileName_.erase(indexed);
        const auto next = std::find_if(items_.begin(), items_.end(),
                                       [&name](const auto& owned) { return owned->GetFileName() == name; });
        if (next != items_.end()) byFileName_.emplace(name, next->get());
    }
    return removed;
}

void TTUNECRATE::RestoreEntries(const std::vector<TDatabaseImage::Pair>& entries, TBOX& box) {
    for (const auto& [type, name] : entries) {
        TMObj* item = FindByFileName(std::string(name));
        if (item != nullptr && item->IsValid() && !box.Contains(item)) box.AddItem(item);
    }
}

void TTUNECRATE::Load() {
    TMappedFile file;
    if (!file.Open(databaseFile_)) return;
    const TDatabaseImage image = ParseDatabase(file.Bytes());
    if (image.rejected) throw TDatabaseVersionError();
    version_ = image.version;
    reservedA_ = image.reservedA;
    reservedB_ = image.reservedB;
    items_.reserve(image.records.size());
    for (const auto& [type, text] : image.records) {
        std::unique_ptr<TMObj> item = registry_.CreateItemFor(std::string(type));
        if (!item) continue;
        item->LoadFromText(text);
        if (item->IsValid()) Adopt(std::move(item));
    }
    RestoreEntries(image.favourites, FavouritesBox);
    RestoreEntries(image.playlist, PlaylistBox);
    RestoreEntries(image.nowPlaying, NowPlayingBox);
    NowPlayingIndex = image.nowPlayingIndex;
    TBOX* const boxes[] = {&AllItemsBox, &FavouritesBox, &PlaylistBox};
    for (std::size_t i = 0; i < image.trees.size(); ++i) ApplyTreeText(*boxes[i], image.trees[i]);
}

bool TTUNECRATE::Save() {
    TDatabaseWriter out;
    version_ = kDatabaseVersion;
    out.Integer(version_);
    out.String(reservedA_);
    out.String(reservedB_);
    out.Integer(Count());
    for (const auto& item : items_) {
        out.String(item->GetFileType());
        out.String(item->GetText());
    }
    for (const TBOX* box : {&FavouritesBox, &PlaylistBox, &NowPlayingBox}) {
        std::vector<TMObj*> entries;
        box->CollectItems(entries);
        out.Integer(static_cast<int32_t>(entries.size()));
        for (const TMObj* item : entries) {
            out.String(item->GetFileType());
            out.String(item->GetFileName());
        }
    }
    out.Integer(NowPlayingIndex);
    for (const TBOX* box : {&AllItemsBox, &FavouritesBox, &PlaylistBox}) out.String(TreeText(*box));

    return ReplaceFileContents(backupFile_, out.Bytes()) && ReplaceFileContents(databaseFile_, out.Bytes());
}
