#pragma once

#include <string>
#include <string_view>

class TBOX;

// The tree text of a box: its name and sort key and, depth first, the sort
// key of every box below it, as CR LF lines "root.Name=...", "root.Type=...",
// "root.<child>=<key>", "root.<child>.<grandchild>=<key>", ...
std::string TreeText(const TBOX& box);

// Gives a box the name, and the box and its subtree the sort keys, of a tree
// text. Names match without regard to letter case; the first line wins.
void ApplyTreeText(TBOX& box, std::string_view text);
