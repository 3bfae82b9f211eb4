#include "media/valueitem.h"

#include "core/paths.h"
#include "core/sysinfo.h"

int TValueItem::SetValue(const std::string& key, const std::string& value) {
    if (!SameNameIgnoringCase(key, "filename")) {
        values_.Set(key, value);
        return 0;
    }
    return ChangingValues([&] {
        values_.Set(key, value);
        return 0;
    });
}

int TValueItem::LoadFromText(std::string_view text) {
    return ChangingValues([&] {
        values_.SetText(text);
        values_.Compact();
        return 0;
    });
}

std::string TValueItem::GetFileType() const { return FileExtension(GetFileName()); }

int32_t TValueItem::NumberValue(std::string_view key) const {
    int32_t value = 0;
    return ParseInt32(values_.GetView(key), value) ? value : 0;
}
