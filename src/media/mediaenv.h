#pragma once

#include <string>
#include <utility>

#include "media/textcodec.h"

class TMObj;
struct TSkin;

// The windows an item opens on itself (tag editor, picture viewer). The
// program's window layer provides them; without one an item opens nothing.
class TItemWindows {
public:
    virtual ~TItemWindows() = default;
    virtual int ShowProperties(TMObj& item, const std::string& page, const TSkin* skin) = 0;
    virtual int ShowPicture(TMObj& item, const TSkin* skin) = 0;
};

// What every media item shares: the folder its picture files live under, the
// legacy code page of tag text, and the item windows. Owned by whoever owns
// the format registry; items refer to it.
struct TMediaEnvironment {
    TMediaEnvironment(std::string dataFolder, std::string codepage)
        : DataFolder(std::move(dataFolder)), Codec(std::move(codepage)) {}

    std::string DataFolder; // ends with "/"; picture files go below DataFolder + "picture/"
    TLegacyCodec Codec;
    TItemWindows* Windows = nullptr;
};
