#include "media/wmaobj.h"

#include "core/paths.h"

std::string TWMAObj::GetTitle() const { return FileNamePart(GetFileName()); }

int TWMAObj::LoadFromFile(const std::string& path) {
    return ChangingValues([&] {
        values_.Set("filename", path);
        return 0;
    });
}
