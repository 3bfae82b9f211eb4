#include "core/treetext.h"

#include <unordered_map>
#include <vector>

#include "core/box.h"
#include "core/valuelist.h"

namespace {

std::string Folded(std::string_view name) {
    std::string folded(name);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    return folded;
}

// Lines of a tree text by name, matched without regard to letter case: a
// later line of the same name replaces the value of the first in place.
class TTreeLines {
public:
    void Set(std::string name, std::string_view value) {
        const auto [found, added] = index_.try_emplace(Folded(name), lines_.size());
        if (added) {
            lines_.emplace_back(std::move(name), std::string(value));
        } else {
            lines_[found->second] = {std::move(name), std::string(value)};
        }
    }
    bool Has(std::string_view name) const { return index_.count(Folded(name)) != 0; }
    std::string Text() const {
        std::string text;
        for (const auto& [name, value] : lines_) text.append(name).append("=").append(value).append("\r\n");
        return text;
    }

private:
    std::vector<std::pair<std::string, std::string>> lines_;
    std::unordered_map<std::string, std::size_t> index_;
};

bool UsableName(std::string_view name) { return name.find_first_of("=\r\n") == std::string_view::npos; }

void AddChildLines(const TBOX& box, const std::string& prefix, TTreeLines& lines) {
    for (int i = 0; i < box.ChildCount(); ++i) {
        const TBOX* child = box.GetChild(i);
        // A name with "=" could not be found again; it comes back unsorted.
        if (!UsableName(child->GetName())) continue;
        std::string name = prefix + child->GetName();
        // The box's own name and key lines are never given up to a child
        // that happens to be called "Name" or "Type".
        if (SameNameIgnoringCase(name, "root.Name") || SameNameIgnoringCase(name, "root.Type")) continue;
        lines.Set(name, child->GetSortKey());
        if (child->ChildCount() > 0) AddChildLines(*child, name + ".", lines);
    }
}

// The lines of a tree text by folded name; the first line of a name wins.
using TTreeIndex = std::unordered_map<std::string, std::string_view>;

void ApplyToChildren(TBOX& box, const std::string& prefix, const TTreeIndex& lines) {
    for (int i = 0; i < box.ChildCount(); ++i) {
        TBOX* child = box.GetChild(i);
        const std::string name = prefix + child->GetName();
        if (SameNameIgnoringCase(name, "root.Name") || SameNameIgnoringCase(name, "root.Type")) continue;
        const auto found = lines.find(Folded(name));
        if (found == lines.end() || found->second.empty() || found->second == "not sort") continue;
        child->SetSortKey(std::string(found->second));
        ApplyToChildren(*child, name + ".", lines);
    }
}

} // namespace

std::string TreeText(const TBOX& box) {
    TTreeLines lines;
    lines.Set("root.Name", box.GetName());
    lines.Set("root.Type", box.GetSortKey());
    AddChildLines(box, "root.", lines);
    return lines.Text();
}

void ApplyTreeText(TBOX& box, std::string_view text) {
    TValueList list;
    list.SetText(text);
    TTreeIndex lines;
    list.ForEach([&lines](std::string_view name, std::string_view value) { lines.try_emplace(Folded(name), value); });
    const auto value = [&lines](const char* name) {
        const auto found = lines.find(name);
        return found == lines.end() ? std::string() : std::string(found->second);
    };
    box.SetName(value("root.name"));
    const std::string key = value("root.type");
    if (key != box.GetSortKey()) box.SetSortKey(key);
    ApplyToChildren(box, "root.", lines);
}
