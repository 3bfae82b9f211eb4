#include "core/valuelist.h"

#include <algorithm>
#include <cstring>

namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

// True when every line ends with CR LF and no other line break occurs.
bool IsStoredForm(std::string_view text) {
    if (!text.ends_with("\r\n")) return false;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t cr = text.find('\r', pos); // found: the text ends with CR LF
        if (text[cr + 1] != '\n' || text.substr(pos, cr - pos).find('\n') != std::string_view::npos) return false;
        pos = cr + 2;
    }
    return true;
}

} // namespace

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

bool TValueList::Find(std::string_view name, LineSpan& span) const {
    const char* data = text_.data();
    const std::size_t size = text_.size();
    std::size_t pos = 0;
    while (pos < size) {
        // Every line ends in CR LF, so the search for the CR always succeeds.
        const char* cr = static_cast<const char*>(std::memchr(data + pos, '\r', size - pos));
        const std::size_t end = static_cast<std::size_t>(cr - data);
        const std::size_t after = pos + name.size();
        if (after < end && data[after] == '=' &&
            SameNameIgnoringCase(std::string_view(data + pos, name.size()), name) &&
            std::memchr(data + pos, '=', name.size()) == nullptr) {
            span = {pos, after + 1, end};
            return true;
        }
        pos = end + 2;
    }
    return false;
}

int CompareIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(FoldAscii(a[i]));
        const auto y = static_cast<unsigned char>(FoldAscii(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string_view TValueList::GetView(std::string_view name) const {
    LineSpan span;
    if (!Find(name, span)) return {};
    return std::string_view(text_).substr(span.valueAt, span.end - span.valueAt);
}

std::string TValueList::Get(std::string_view name) const { return std::string(GetView(name)); }

bool TValueList::Has(std::string_view name) const {
    LineSpan span;
    return Find(name, span);
}

void TValueList::Set(std::string_view name, std::string_view value) {
    if (name.empty()) return;
    for (char c : name)
        if (c == '=' || IsLineBreak(c)) return;

    LineSpan span;
    const bool found = Find(name, span);
    if (value.empty()) {
        if (found) text_.erase(span.begin, span.end + 2 - span.begin);
        return;
    }
    std::string line;
    line.reserve(name.size() + 1 + value.size());
    line.append(name).push_back('=');
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (!IsLineBreak(c)) {
            line.push_back(c);
        } else if (!(c == '\n' && i > 0 && value[i - 1] == '\r')) {
            line.push_back(' ');
        }
    }
    if (found) {
        text_.replace(span.begin, span.end - span.begin, line);
    } else {
        text_.append(line).append("\r\n");
    }
}

std::size_t TValueList::Count() const {
    std::size_t n = 0;
    for (std::size_t pos = text_.find('\r'); pos != std::string::npos; pos = text_.find('\r', pos + 2)) ++n;
    return n;
}

void TValueList::SetText(std::string_view text) {
    // Stored text (every line ended by CR LF) is taken as it is.
    if (IsStoredForm(text)) {
        text_.assign(text);
        return;
    }
    text_.clear();
    text_.reserve(text.size() + 2);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && !IsLineBreak(text[end])) ++end;
        text_.append(text.substr(pos, end - pos)).append("\r\n");
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        pos = end + 1;
    }
}
