#include <gtest/gtest.h>
#include <sstream>

#include "core/database.h"
#include "mp3builder.h"
#include "tempdir.h"
#include "tools/inspect.h"

namespace {

std::string Database() {
    TDatabaseWriter out;
    out.Integer(107);
    out.String("A");
    out.String("B");
    out.Integer(1);
    out.String(".mp3");
    out.String("filename=/m/a.mp3\r\nTPE1=歌手\r\n");
    for (int list = 0; list < 3; ++list) {
        out.Integer(1);
        out.String(".mp3");
        out.String("/m/a.mp3");
    }
    out.Integer(0);
    out.String("root.Name=Tunecrate\r\nroot.Type=artist\r\n");
    out.String("");
    out.String("");
    return out.Bytes();
}

} // namespace

TEST(InspectDb, DumpsEveryFieldAndStopsAtDamage) {
    TempDir dir;
    const std::string bytes = Database();
    mp3::WriteFile(dir / "tune.crate", bytes);
    std::ostringstream out, err;
    EXPECT_EQ(InspectDb({dir / "tune.crate"}, out, err), 0) << err.str();
    EXPECT_EQ(out.str(),
              "version 107\nreserved A: A\nreserved B: B\nitems 1\n== item 0 .mp3\n  filename=/m/a.mp3\n  TPE1=歌手\n"
              "favourites 1\n  .mp3 /m/a.mp3\nplaylist 1\n  .mp3 /m/a.mp3\nnow-playing 1\n  .mp3 /m/a.mp3\n"
              "now-playing index 0\n== tree of all items\n  root.Name=Tunecrate\n  root.Type=artist\n"
              "== tree of favourites\n== tree of playlist\n");

    mp3::WriteFile(dir / "tune.crate", bytes.substr(0, 70));
    std::ostringstream cut, cutErr;
    EXPECT_EQ(InspectDb({dir / "tune.crate"}, cut, cutErr), 1);
    EXPECT_NE(cut.str().find("items 1\n"), std::string::npos);
    EXPECT_NE(cut.str().find("damaged: reading stopped at favourites entry 0 at byte"), std::string::npos) << cut.str();

    mp3::WriteFile(dir / "tune.crate", std::string("\x68\0\0\0", 4));
    std::ostringstream old, oldErr;
    EXPECT_EQ(InspectDb({dir / "tune.crate"}, old, oldErr), 1);
    EXPECT_NE(oldErr.str().find("索引信息库版本不支持 !"), std::string::npos);
    std::ostringstream none, noneErr;
    EXPECT_EQ(InspectDb({}, none, noneErr), 2);
}
