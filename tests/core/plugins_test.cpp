#include "core/plugins.h"

#include <gtest/gtest.h>

#include "media/mediaenv.h"
#include "media/mobj.h"
#include "media/mp3tag.h"
#include "media/wmaobj.h"

TEST(PlugIns, FilterListHoldsMp3ThenMp2AndNotWma) {
    const TMediaEnvironment env("/data/", "GB18030");
    const TPlugIns registry(env);
    const std::vector<std::string> expected = {".mp3=mp3 files(*.mp3)", ".mp2=mp2 files(*.mp2)"};
    EXPECT_EQ(registry.FilterList(), expected);
    EXPECT_EQ(registry.ScanExtensions(), (std::vector<std::string>{".mp3", ".mp2"}));
}

TEST(PlugIns, CreatesTheItemKindOfAnExtensionInAnyLetterCase) {
    const TMediaEnvironment env("/data/", "GB18030");
    const TPlugIns registry(env);
    for (const char* ext : {".mp3", ".MP3", ".Mp2", ".mp2"}) {
        const auto item = registry.CreateItemFor(ext);
        ASSERT_NE(item, nullptr) << ext;
        EXPECT_NE(dynamic_cast<TMP3Tag*>(item.get()), nullptr) << ext;
        EXPECT_FALSE(item->IsValid());
    }
    for (const char* ext : {".wma", ".WMA"})
        EXPECT_NE(dynamic_cast<TWMAObj*>(registry.CreateItemFor(ext).get()), nullptr) << ext;
    for (const char* ext : {"", ".ogg", "mp3", ".mp33", ".m"}) EXPECT_EQ(registry.CreateItemFor(ext), nullptr) << ext;
}
