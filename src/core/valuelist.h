#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// An ordered list of name=value lines: the storage of item values and of the
// settings file. Names match without regard to ASCII letter case and the first
// matching line wins; a missing name reads as empty text; setting an empty
// value deletes the line. Lines without "=" are kept but never match.
//
// The lines live in one string, each ended by CR LF, which is also the text
// form. A library of 100,000 items thus costs little more than its text.
class TValueList {
public:
    TValueList() = default;

    std::string Get(std::string_view name) const;
    // A view into the list, valid until the next change.
    std::string_view GetView(std::string_view name) const;
    bool Has(std::string_view name) const;

    // Replaces the first matching line in place (spelled with the name as
    // given) or appends one; an empty value deletes the first matching line.
    // A value keeps to one line: each line break in it becomes a space. A
    // name that could not be found again (empty, or holding "=" or a line
    // break) is refused.
    void Set(std::string_view name, std::string_view value);

    void Clear() { text_.clear(); }
    bool Empty() const { return text_.empty(); }
    std::size_t Count() const;

    // Every line followed by CR LF, in list order.
    const std::string& Text() const { return text_; }
    // Replaces the list by the lines of the text, split at CR LF, CR or LF.
    void SetText(std::string_view text);

    // Calls f(name, value) for every line holding "=", in order.
    template <typename F>
    void ForEach(F&& f) const {
        std::size_t pos = 0;
        while (pos < text_.size()) {
            const std::size_t end = text_.find("\r\n", pos);
            const std::string_view line(text_.data() + pos, end - pos);
            const std::size_t eq = line.find('=');
            if (eq != std::string_view::npos) f(line.substr(0, eq), line.substr(eq + 1));
            pos = end + 2;
        }
    }

    // Drops spare capacity after a series of changes.
    void Compact() { text_.shrink_to_fit(); }

private:
    struct LineSpan {
        std::size_t begin;   // first byte of the line
        std::size_t valueAt; // first byte of the value
        std::size_t end;     // the CR of the line's CR LF
    };
    bool Find(std::string_view name, LineSpan& span) const;

    std::string text_;
};

// ASCII case-insensitive equality, the name comparison of every name=value list.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

// Compares with the letters A to Z folded to lower case and every other byte
// by its value; a proper prefix comes first. Negative, zero or positive.
int CompareIgnoringAsciiCase(std::string_view a, std::string_view b);
