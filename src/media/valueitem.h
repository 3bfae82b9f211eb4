#pragma once

#include "core/valuelist.h"
#include "media/mediaenv.h"
#include "media/mobj.h"

// What both kinds of item share: the item values and the operations that only
// read or replace them.
class TValueItem : public TMObj {
public:
    explicit TValueItem(const TMediaEnvironment& env) : env_(&env) {}

    std::string GetValue(const std::string& key) const override { return values_.Get(key); }
    int SetValue(const std::string& key, const std::string& value) override;
    std::string GetFileName() const override { return values_.Get("filename"); }
    int LoadFromText(std::string_view text) override;
    std::string GetText() const override { return values_.Text(); }
    std::string GetFileType() const override;
    bool IsValid() const override { return !values_.Empty(); }

    const TValueList& Values() const { return values_; }
    const TMediaEnvironment& Environment() const { return *env_; }

protected:
    // Runs a change of the values and tells the library when it changed the
    // file name, so that the library's index of names stays true.
    template <typename Change>
    int ChangingValues(Change&& change) {
        if (!Listed()) return change();
        const std::string oldName = GetFileName();
        const int result = change();
        FileNameMayHaveChanged(oldName);
        return result;
    }
    // A value read as a number: 0 when missing or not a 32-bit decimal number.
    int32_t NumberValue(std::string_view key) const;

    TValueList values_;
    const TMediaEnvironment* env_;
};
