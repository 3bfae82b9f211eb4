#pragma once

#include <cstdint>
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
//
// A box knows its parent, so that a renamed child stays findable under its
// new name only, and the top box of a tree counts how often each item occurs
// anywhere below it, so that membership is one lookup.
class TBOX {
public:
    explicit TBOX(std::string sortKey = "not sort");
    TBOX(const TBOX&) = delete;
    TBOX& operator=(const TBOX&) = delete;

    const std::string& GetName() const { return name_; }
    // False, and the name unchanged, when the parent already has another
    // child of that name: a box never has two children of one name.
    bool SetName(std::string name);
    const std::string& GetSortKey() const { return sortKey_; }
    // Stores the key and rebuilds the whole subtree by it from the items it
    // holds; "not sort" flattens the subtree into the box's own list.
    void SetSortKey(const std::string& key);

    void AddItem(TMObj* item);
    // From this box's own list only (its first occurrence); nothing when it is
    // not there.
    void RemoveItem(const TMObj* item);
    // As RemoveItem of each entry in turn, in one pass over the own list.
    void RemoveItems(const std::vector<const TMObj*>& items);
    // The own list's entries at these positions (ascending, each in range),
    // in one pass.
    void RemoveItemsAt(const std::vector<int>& positions);
    void ClearItems();

    int ItemCount() const { return static_cast<int>(items_.size()); }
    TMObj* GetItem(int index) const;
    int ChildCount() const { return static_cast<int>(children_.size()); }
    TBOX* GetChild(int index) const;
    // The child of exactly that name, or none.
    TBOX* FindChild(std::string_view name) const;
    TBOX* Parent() const { return parent_; }

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
    // Classifies an item into the subtree without counting it again.
    void File(TMObj* item);
    void Empty();
    TBOX& Top();
    const TBOX& Top() const;
    using TOccurrences = std::unordered_map<const TMObj*, uint32_t>;
    static void Forget(TOccurrences& occurrences, const TMObj* item);
    uint32_t Occurrences(const TMObj* item) const;

    std::vector<TMObj*> items_;
    std::vector<std::unique_ptr<TBOX>> children_;
    std::unordered_map<std::string, TBOX*> childByName_;
    std::string name_;
    std::string sortKey_;
    TBOX* parent_ = nullptr;
    // Kept by the top box only: how often each item occurs in its tree.
    TOccurrences occurrences_;
};
