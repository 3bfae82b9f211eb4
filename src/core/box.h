#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TMObj;

// A node of the library tree: a name, a sort key, items of its own and child
// boxes. Adding an item classifies it by the box's sort key ("artist",
// "year", "album", "genre", "bitrate", "mime") into the child named after the
// item's value, creating the child when it is missing; an item without a
// value, and every item of a box of any other key ("not sort"), stays in the
// box's own list. Items belong to the library; boxes only refer to them.
class TBOX {
public:
    explicit TBOX(std::string sortKey = "not sort");
    TBOX(const TBOX&) = delete;
    TBOX& operator=(const TBOX&) = delete;

    const std::string& GetName() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    const std::string& GetSortKey() const { return sortKey_; }
    // Stores the key and rebuilds the whole subtree by it from the items it
    // holds; "not sort" flattens the subtree into the box's own list.
    void SetSortKey(const std::string& key);

    void AddItem(TMObj* item);
    // From this box's own list only; nothing when it is not there.
    void RemoveItem(const TMObj* item);
    void ClearItems() { items_.clear(); }

    int ItemCount() const { return static_cast<int>(items_.size()); }
    TMObj* GetItem(int index) const;
    int ChildCount() const { return static_cast<int>(children_.size()); }
    TBOX* GetChild(int index) const;
    // The child of exactly that name, or none.
    TBOX* FindChild(std::string_view name) const;

    // Appends every item of the subtree, each box's children before its own
    // items; returns the list's new length.
    int CollectItems(std::vector<TMObj*>& list) const;
    bool Contains(const TMObj* item) const;
    // Empties the child's subtree and detaches it; the caller owns it then.
    std::unique_ptr<TBOX> RemoveChild(TBOX* child);

    void ReloadAllTags();
    // Writes the changed tags of every item; false when any could not be written.
    bool SaveAllTags();

    // The name of the child an item goes to under a sort key; empty when the
    // item stays in the box's own list.
    static std::string ClassValue(const std::string& sortKey, TMObj& item);

private:
    void Empty();

    std::vector<TMObj*> items_;
    std::vector<std::unique_ptr<TBOX>> children_;
    std::unordered_map<std::string, TBOX*> childByName_;
    std::string name_;
    std::string sortKey_;
};
