#include "core/box.h"

#include <algorithm>

#include "core/helpers.h"
#include "media/mobj.h"

TBOX::TBOX(std::string sortKey) : sortKey_(std::move(sortKey)) {}

std::string TBOX::ClassValue(const std::string& sortKey, TMObj& item) {
    if (sortKey == "artist") return item.GetArtist();
    if (sortKey == "year") return item.GetYear();
    if (sortKey == "album") return item.GetAlbum();
    if (sortKey == "genre") return item.GetGenre();
    if (sortKey == "bitrate") return BitrateText(item.GetBitrate());
    if (sortKey == "mime") return item.GetFileType();
    return {};
}

void TBOX::AddItem(TMObj* item) {
    TBOX* box = this;
    for (;;) {
        std::string value = ClassValue(box->sortKey_, *item);
        if (value.empty()) break;
        const auto found = box->childByName_.find(value);
        if (found != box->childByName_.end()) {
            box = found->second;
            continue;
        }
        auto child = std::make_unique<TBOX>();
        child->name_ = value;
        TBOX* created = child.get();
        box->childByName_.emplace(std::move(value), created);
        box->children_.push_back(std::move(child));
        box = created;
    }
    box->items_.push_back(item);
}

void TBOX::SetSortKey(const std::string& key) {
    sortKey_ = key;
    for (auto child = children_.rbegin(); child != children_.rend(); ++child) (*child)->CollectItems(items_);
    children_.clear();
    childByName_.clear();
    std::vector<TMObj*> items;
    items.swap(items_);
    for (TMObj* item : items) AddItem(item);
}

void TBOX::RemoveItem(const TMObj* item) {
    const auto found = std::find(items_.begin(), items_.end(), item);
    if (found != items_.end()) items_.erase(found);
}

TMObj* TBOX::GetItem(int index) const {
    return index >= 0 && index < ItemCount() ? items_[static_cast<std::size_t>(index)] : nullptr;
}

TBOX* TBOX::GetChild(int index) const {
    return index >= 0 && index < ChildCount() ? children_[static_cast<std::size_t>(index)].get() : nullptr;
}

TBOX* TBOX::FindChild(std::string_view name) const {
    const auto found = childByName_.find(std::string(name));
    return found == childByName_.end() ? nullptr : found->second;
}

int TBOX::CollectItems(std::vector<TMObj*>& list) const {
    for (const auto& child : children_) child->CollectItems(list);
    list.insert(list.end(), items_.begin(), items_.end());
    return static_cast<int>(list.size());
}

bool TBOX::Contains(const TMObj* item) const {
    if (std::find(items_.begin(), items_.end(), item) != items_.end()) return true;
    return std::any_of(children_.begin(), children_.end(), [item](const auto& child) { return child->Contains(item); });
}

void TBOX::Empty() {
    items_.clear();
    for (const auto& child : children_) child->Empty();
    children_.clear();
    childByName_.clear();
}

std::unique_ptr<TBOX> TBOX::RemoveChild(TBOX* child) {
    const auto found = std::find_if(children_.begin(), children_.end(), [child](const auto& c) { return c.get() == child; });
    if (found == children_.end()) return nullptr;
    std::unique_ptr<TBOX> detached = std::move(*found);
    children_.erase(found);
    childByName_.erase(detached->name_);
    detached->Empty();
    return detached;
}

void TBOX::ReloadAllTags() {
    for (const auto& child : children_) child->ReloadAllTags();
    for (TMObj* item : items_) item->ReloadTags();
}

bool TBOX::SaveAllTags() {
    bool saved = true;
    for (const auto& child : children_) saved = child->SaveAllTags() && saved;
    for (TMObj* item : items_) saved = item->SaveIfModified() == 0 && saved;
    return saved;
}
