#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/valuelist.h"

// The settings store: the name=value lines of "box.ini", held in memory and
// written back once, when the store is destroyed (or saved explicitly before).
class TSysInfo {
public:
    // Reads readFolder + "box.ini" (dataFolder's by default) when it exists;
    // the settings are written to dataFolder.
    explicit TSysInfo(std::string dataFolder, const std::string& readFolder = {});
    ~TSysInfo();
    TSysInfo(const TSysInfo&) = delete;
    TSysInfo& operator=(const TSysInfo&) = delete;

    const std::string& Folder() const { return folder_; }
    std::string SettingsFileName() const { return folder_ + "box.ini"; }
    std::string DatabaseFileName() const { return folder_ + "tune.crate"; }
    std::string BackupFileName() const { return folder_ + "tune.bak"; }

    std::string ReadString(std::string_view name, std::string_view def = {}) const;
    int32_t ReadInteger(std::string_view name, int32_t def) const;
    bool ReadBool(std::string_view name, bool def) const;

    void WriteString(std::string_view name, std::string_view value);
    void WriteInteger(std::string_view name, int32_t value);
    void WriteBool(std::string_view name, bool value);

    // Writes the settings file now, replacing the old one whole (a crash leaves
    // the old or the new file, never a part). The destructor then writes only
    // when something changed since. False when the file could not be written;
    // SaveError() then says why.
    bool Save();
    const std::string& SaveError() const { return error_; }
    // Where the settings are written from now on; ends with "/".
    void SaveTo(std::string folder) { folder_ = std::move(folder); }

    // The value of a key as read, or the key's default from the key table.
    std::string ReadSetting(std::string_view name) const;

private:
    std::string folder_;
    TValueList lines_;
    std::string error_;
    bool dirty_ = true;
};

// Every key the program reads or writes, with its type and default.
struct TSettingKey {
    std::string_view name; // a name ending in "#" stands for the name followed by a number
    std::string_view type; // "text", "integer" or "boolean"
    std::string_view def;  // the default as stored text; empty where the caller supplies it
};
const std::vector<TSettingKey>& SettingKeys();

// Keys the model itself reads.
inline constexpr std::string_view kTagsCodepageKey = "tags.codepage";
inline constexpr std::string_view kDefaultTagsCodepage = "GB18030";
inline constexpr std::string_view kSkinKey = "skin";
inline constexpr std::string_view kDefaultSkin = "Skins/Clouds/skin.ini";

// Decimal 32-bit signed integer, the whole text; false when it is not one.
bool ParseInt32(std::string_view text, int32_t& value);
