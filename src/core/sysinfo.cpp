#include "core/sysinfo.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <utility>

#include "core/fileio.h"

bool ParseInt32(std::string_view text, int32_t& value) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    int32_t parsed = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    value = parsed;
    return true;
}

TSysInfo::TSysInfo(std::string dataFolder, const std::string& readFolder) : folder_(std::move(dataFolder)) {
    RemoveOwnLeftover(SettingsFileName() + ".new");
    std::string text;
    if (ReadWholeFile((readFolder.empty() ? folder_ : readFolder) + "box.ini", text)) lines_.SetText(text);
}

TSysInfo::~TSysInfo() {
    if (dirty_) Save();
}

bool TSysInfo::Save() {
    const bool ok = ReplaceFileContents(SettingsFileName(), lines_.Text(), &error_);
    if (ok) dirty_ = false;
    return ok;
}

std::string TSysInfo::ReadString(std::string_view name, std::string_view def) const {
    const std::string_view value = lines_.GetView(name);
    return std::string(value.empty() ? def : value);
}

int32_t TSysInfo::ReadInteger(std::string_view name, int32_t def) const {
    int32_t value = def;
    return ParseInt32(lines_.GetView(name), value) ? value : def;
}

bool TSysInfo::ReadBool(std::string_view name, bool def) const {
    const std::string_view value = lines_.GetView(name);
    if (value == "true") return true;
    if (value == "false") return false;
    return def;
}

void TSysInfo::WriteString(std::string_view name, std::string_view value) {
    lines_.Set(name, value);
    dirty_ = true;
}

void TSysInfo::WriteInteger(std::string_view name, int32_t value) { WriteString(name, std::to_string(value)); }

void TSysInfo::WriteBool(std::string_view name, bool value) { WriteString(name, value ? "true" : "false"); }

const std::vector<TSettingKey>& SettingKeys() {
    static const std::vector<TSettingKey> keys = {
        {kSkinKey, "text", kDefaultSkin},
        {"frame.x", "integer", ""},
        {"frame.y", "integer", ""},
        {"frame.width", "integer", ""},
        {"frame.height", "integer", ""},
        {"frame.windowstate", "text", "Normal"},
        {"selected.level", "integer", "0"},
        {"selected.box#", "text", ""},
        {"selected.expanded", "boolean", "true"},
        {"statusbar", "boolean", "true"},
        {"infopanel.height", "integer", "107"},
        {"column_Artist", "boolean", "true"},
        {"column_Album", "boolean", "true"},
        {"column_Year", "boolean", "true"},
        {"column_Genre", "boolean", "true"},
        {"column_Size", "boolean", "true"},
        {"column_Duration", "boolean", "true"},
        {"column_Bitrate", "boolean", "true"},
        {"column_Samplerate", "boolean", "true"},
        {"column_Channel", "boolean", "false"},
        {"column_Comment", "boolean", "false"},
        {"column_Date Modified", "boolean", "false"},
        {"application.tray", "boolean", "true"},
        {"lyrics.windows.autodisplay", "boolean", "true"},
        {"auto_show_lyric_playing", "boolean", "false"},
        {"lyrics.insert_blank_line", "boolean", "false"},
        {"lyrics.font", "text", ""},
        {"lyrics.size", "text", ""},
        {"lyrics.color", "integer", "16711680"},
        {kTagsCodepageKey, "text", kDefaultTagsCodepage},
    };
    return keys;
}

std::string TSysInfo::ReadSetting(std::string_view name) const {
    for (const TSettingKey& key : SettingKeys()) {
        if (!SameNameIgnoringCase(key.name, name)) continue;
        if (key.type == "integer") {
            int32_t value = 0;
            if (!ParseInt32(lines_.GetView(name), value)) return std::string(key.def);
            return std::to_string(value);
        }
        if (key.type == "boolean") {
            const std::string_view value = lines_.GetView(name);
            return std::string(value == "true" || value == "false" ? value : key.def);
        }
        return ReadString(name, key.def);
    }
    return ReadString(name);
}
