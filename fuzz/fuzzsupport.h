#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

class TBOX;
class TMObj;
struct TMediaEnvironment;

// Reports the broken rule and aborts, as a crash would.
[[noreturn]] void FuzzCheckFailed(const char* rule);
inline void FuzzCheck(bool kept, const char* rule) {
    if (!kept) FuzzCheckFailed(rule);
}

// A folder of this process for the files the targets write, removed at exit;
// ends with "/".
const std::string& ScratchFolder();
// Items' pictures go to the scratch folder; tag text is read as GB18030.
const TMediaEnvironment& FuzzEnvironment();

std::string Contents(const std::string& path);

// A box's name, sort key, own items (by their number in index, -1 for one
// not there) and children, depth first, as text to compare.
std::string BoxDump(const TBOX& box, const std::unordered_map<const TMObj*, int>& index);
