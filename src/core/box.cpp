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

TBOX& TBOX::Top() {
    TBOX* box = this;
    while (box->parent_ != nullptr) box = box->parent_;
    return *box;
}

const TBOX& TBOX::Top() const { return const_cast<TBOX*>(this)->Top(); }

void TBOX::Forget(TOccurrences& occurrences, const TMObj* item) {
    const auto found = occurrences.find(item);
    if (found != occurrences.end() && --found->second == 0) occurrences.erase(found);
}

uint32_t TBOX::Occurrences(const TMObj* item) const {
    const auto& occurrences = Top().occurrences_;
    const auto found = occurrences.find(item);
    return found == occurrences.end() ? 0 : found->second;
}

bool TBOX::SetName(std::string name) {
    if (name == name_) return true;
    if (parent_ != nullptr) {
        auto& siblings = parent_->childByName_;
        if (siblings.count(name) != 0) return false;
        siblings.erase(name_);
        siblings.emplace(name, this);
    }
    name_ = std::move(name);
    return true;
}

void TBOX::AddItem(TMObj* item) {
    ++Top().occurrences_[item];
    File(item);
}

void TBOX::File(TMObj* item) {
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
        child->parent_ = box;
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
    // The items stay in the tree, so their counts stay as they are.
    for (TMObj* item : items) File(item);
}

void TBOX::RemoveItem(const TMObj* item) {
    // An item that occurs once in the whole tree is found from the end as
    // well, and a box emptied from its last item to its first is then never
    // searched.
    if (Occurrences(item) == 1) {
        const auto found = std::find(items_.rbegin(), items_.rend(), item);
        if (found == items_.rend()) return;
        items_.erase(std::next(found).base());
    } else {
        const auto found = std::find(items_.begin(), items_.end(), item);
        if (found == items_.end()) return;
        items_.erase(found);
    }
    Forget(Top().occurrences_, item);
}

void TBOX::RemoveItems(const std::vector<const TMObj*>& items) {
    TOccurrences pending;
    for (const TMObj* item : items) ++pending[item];
    TOccurrences& occurrences = Top().occurrences_;
    const auto kept = std::remove_if(items_.begin(), items_.end(), [&](const TMObj* item) {
        const auto found = pending.find(item);
        if (found == pending.end() || found->second == 0) return false;
        --found->second;
        Forget(occurrences, item);
        return true;
    });
    items_.erase(kept, items_.end());
}

void TBOX::RemoveItemsAt(const std::vector<int>& positions) {
    TOccurrences& occurrences = Top().occurrences_;
    auto next = positions.begin();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (next != positions.end() && static_cast<std::size_t>(*next) == i) {
            Forget(occurrences, items_[i]);
            ++next;
        } else {
            items_[kept++] = items_[i];
        }
    }
    items_.resize(kept);
}

void TBOX::ClearItems() {
    TOccurrences& occurrences = Top().occurrences_;
    for (const TMObj* item : items_) Forget(occurrences, item);
    items_.clear();
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
    if (Occurrences(item) == 0) return false;
    if (parent_ == nullptr) return true;
    if (std::find(items_.begin(), items_.end(), item) != items_.end()) return true;
    return std::any_of(children_.begin(), children_.end(), [item](const auto& child) { return child->Contains(item); });
}

void TBOX::Empty() {
    items_.clear();
    for (const auto& child : children_) child->Empty();
    children_.clear();
    childByName_.clear();
    occurrences_.clear();
}

std::unique_ptr<TBOX> TBOX::RemoveChild(TBOX* child) {
    const auto found = std::find_if(children_.begin(), children_.end(), [child](const auto& c) { return c.get() == child; });
    if (found == children_.end()) return nullptr;
    std::vector<TMObj*> leaving;
    child->CollectItems(leaving);
    TOccurrences& occurrences = Top().occurrences_;
    for (const TMObj* item : leaving) Forget(occurrences, item);
    std::unique_ptr<TBOX> detached = std::move(*found);
    children_.erase(found);
    childByName_.erase(detached->name_);
    detached->parent_ = nullptr;
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
