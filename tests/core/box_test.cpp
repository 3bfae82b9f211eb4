#include "core/box.h"

#include <gtest/gtest.h>

#include "media/mp3tag.h"
#include "media/wmaobj.h"

namespace {

class BoxTest : public ::testing::Test {
protected:
    TMObj* Item(const std::string& text) {
        auto item = std::make_unique<TMP3Tag>(env);
        item->LoadFromText(text);
        items.push_back(std::move(item));
        return items.back().get();
    }
    TMObj* Artist(const std::string& artist, const std::string& album = "") {
        return Item("filename=/m/" + std::to_string(items.size()) + ".mp3\r\nTPE1=" + artist + "\r\nTALB=" + album + "\r\n");
    }
    static std::string Children(const TBOX& box) {
        std::string names;
        for (int i = 0; i < box.ChildCount(); ++i) names += box.GetChild(i)->GetName() + ";";
        return names;
    }

    TMediaEnvironment env{"/data/", "GB18030"};
    std::vector<std::unique_ptr<TMObj>> items;
};

} // namespace

TEST_F(BoxTest, ArtistsDifferingOnlyInCaseGetTwoChildrenAndNoArtistStaysOwn) {
    TBOX box("artist");
    TMObj* a = Artist("Band");
    TMObj* b = Artist("band");
    TMObj* c = Artist("");
    TMObj* d = Artist("Band");
    for (TMObj* item : {a, b, c, d}) box.AddItem(item);
    EXPECT_EQ(Children(box), "Band;band;");
    EXPECT_EQ(box.ItemCount(), 1);
    EXPECT_EQ(box.GetItem(0), c);
    EXPECT_EQ(box.GetChild(0)->ItemCount(), 2);
    EXPECT_EQ(box.GetChild(0)->GetSortKey(), "not sort");
    EXPECT_EQ(box.FindChild("band"), box.GetChild(1));
    EXPECT_EQ(box.GetItem(1), nullptr);
    EXPECT_EQ(box.GetItem(-1), nullptr);
    EXPECT_EQ(box.GetChild(2), nullptr);
}

TEST_F(BoxTest, BitrateAndMimeClassification) {
    TBOX bitrate("bitrate");
    TMObj* fast = Item("filename=/m/a.mp3\r\nTC_BR=128\r\n");
    TMObj* none = Item("filename=/m/b.mp3\r\nTC_BR=0\r\n");
    bitrate.AddItem(fast);
    bitrate.AddItem(none);
    EXPECT_EQ(Children(bitrate), "128 kbps;");
    EXPECT_EQ(bitrate.GetItem(0), none);

    TBOX mime("mime");
    auto wma = std::make_unique<TWMAObj>(env);
    wma->LoadFromFile("/m/c.wma");
    mime.AddItem(Item("filename=/m/x.mp3\r\n"));
    mime.AddItem(Item("filename=/m/y.MP3\r\n"));
    mime.AddItem(wma.get());
    mime.AddItem(Item("filename=/m/z.mp3\r\n"));
    EXPECT_EQ(Children(mime), ".mp3;.MP3;.wma;");
    EXPECT_EQ(mime.GetChild(0)->ItemCount(), 2);
    // WMA items name one box "WMA" by artist, album, year or genre.
    TBOX genre("genre");
    genre.AddItem(wma.get());
    EXPECT_EQ(Children(genre), "WMA;");
}

TEST_F(BoxTest, ResortingReaddsTheItemsOfTheLastChildFirst) {
    TBOX box("artist");
    TMObj* b1 = Artist("B", "Zeta");
    TMObj* a1 = Artist("A", "Alpha");
    TMObj* b2 = Artist("B", "Alpha");
    TMObj* loose = Artist("", "Zeta");
    for (TMObj* item : {b1, a1, b2, loose}) box.AddItem(item);
    ASSERT_EQ(Children(box), "B;A;");
    box.SetSortKey("album");
    // Own items (loose), then A's (a1), then B's (b1, b2): Zeta first, then Alpha.
    EXPECT_EQ(Children(box), "Zeta;Alpha;");
    std::vector<TMObj*> zeta, alpha;
    box.GetChild(0)->CollectItems(zeta);
    box.GetChild(1)->CollectItems(alpha);
    EXPECT_EQ(zeta, (std::vector<TMObj*>{loose, b1}));
    EXPECT_EQ(alpha, (std::vector<TMObj*>{a1, b2}));
}

TEST_F(BoxTest, NotSortFlattensTwoLevelsAndCollectPutsChildrenFirst) {
    TBOX box("artist");
    TMObj* a = Artist("A", "X");
    TMObj* b = Artist("A", "Y");
    TMObj* c = Artist("", "");
    for (TMObj* item : {a, b, c}) box.AddItem(item);
    box.GetChild(0)->SetSortKey("album");
    std::vector<TMObj*> list = {c};
    EXPECT_EQ(box.CollectItems(list), 4);
    EXPECT_EQ(list, (std::vector<TMObj*>{c, a, b, c}));
    box.SetSortKey("not sort");
    EXPECT_EQ(box.ChildCount(), 0);
    EXPECT_EQ(box.ItemCount(), 3);
    box.SetSortKey("anything else");
    EXPECT_EQ(box.ChildCount(), 0);
}

TEST_F(BoxTest, ContainsLooksThreeLevelsDownAndRemoveChildEmptiesIt) {
    TBOX box("artist");
    TMObj* deep = Item("filename=/m/a.mp3\r\nTPE1=A\r\nTALB=B\r\nTYER=1999\r\n");
    box.AddItem(deep);
    box.GetChild(0)->SetSortKey("album");
    box.GetChild(0)->GetChild(0)->SetSortKey("year");
    EXPECT_TRUE(box.Contains(deep));
    EXPECT_FALSE(box.Contains(Artist("A")));
    std::unique_ptr<TBOX> child = box.RemoveChild(box.GetChild(0));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->ChildCount(), 0);
    EXPECT_FALSE(box.Contains(deep));
    EXPECT_EQ(box.FindChild("A"), nullptr);
    box.AddItem(deep);
    EXPECT_EQ(box.ChildCount(), 1);
    EXPECT_EQ(box.RemoveChild(child.get()), nullptr);
}

TEST_F(BoxTest, RemoveAndClearTouchOnlyTheOwnList) {
    TBOX box;
    TMObj* a = Artist("A");
    box.AddItem(a);
    box.AddItem(a);
    box.RemoveItem(a);
    EXPECT_EQ(box.ItemCount(), 1);
    box.RemoveItem(Artist("B"));
    EXPECT_EQ(box.ItemCount(), 1);
    box.ClearItems();
    EXPECT_EQ(box.ItemCount(), 0);
}

TEST_F(BoxTest, SaveAllTagsReportsItemsThatCouldNotBeWritten) {
    TBOX box("artist");
    TMObj* saved = Item("filename=/m/a.mp3\r\nTPE1=A\r\nmodified=false\r\n");
    box.AddItem(saved);
    EXPECT_TRUE(box.SaveAllTags());
    box.AddItem(Item("filename=/nonexistent/b.mp3\r\nTPE1=B\r\nmodified=true\r\n"));
    EXPECT_FALSE(box.SaveAllTags());
}

TEST_F(BoxTest, ARenamedChildIsFoundUnderItsNewNameOnly) {
    TBOX box("artist");
    box.AddItem(Artist("A"));
    TBOX* renamed = box.GetChild(0);
    EXPECT_TRUE(renamed->SetName("B"));
    EXPECT_EQ(box.FindChild("A"), nullptr);
    EXPECT_EQ(box.FindChild("B"), renamed);
    box.AddItem(Artist("B"));
    EXPECT_EQ(Children(box), "B;");
    EXPECT_EQ(renamed->ItemCount(), 2);

    // Never two children of one name.
    box.AddItem(Artist("C"));
    EXPECT_FALSE(box.GetChild(1)->SetName("B"));
    EXPECT_EQ(Children(box), "B;C;");
    EXPECT_TRUE(renamed->SetName("B"));

    // Renamed, removed and freed: its old and new names make new children.
    ASSERT_TRUE(renamed->SetName("D"));
    box.RemoveChild(renamed).reset();
    box.AddItem(Artist("A"));
    box.AddItem(Artist("D"));
    box.AddItem(Artist("B"));
    EXPECT_EQ(Children(box), "C;A;D;B;");
    EXPECT_EQ(box.FindChild("D")->ItemCount(), 1);

    TBOX top;
    EXPECT_TRUE(top.SetName("Anything"));
}

TEST_F(BoxTest, MembershipFollowsEveryChange) {
    TBOX box("artist");
    TMObj* a = Artist("A", "X");
    TMObj* b = Artist("B", "Y");
    TMObj* none = Artist("");
    for (TMObj* item : {a, b, none, a}) box.AddItem(item); // a twice
    box.FindChild("A")->SetSortKey("album");
    TBOX* albumX = box.FindChild("A")->FindChild("X");
    ASSERT_NE(albumX, nullptr);
    EXPECT_TRUE(box.Contains(a));
    EXPECT_TRUE(albumX->Contains(a));
    EXPECT_FALSE(albumX->Contains(b));

    albumX->RemoveItem(a);
    EXPECT_TRUE(box.Contains(a)); // the second one
    albumX->RemoveItem(a);
    EXPECT_FALSE(box.Contains(a));
    EXPECT_FALSE(albumX->Contains(a));

    box.SetSortKey("album");
    EXPECT_TRUE(box.Contains(b));
    EXPECT_TRUE(box.Contains(none));
    box.ClearItems();
    EXPECT_FALSE(box.Contains(none));
    std::unique_ptr<TBOX> y = box.RemoveChild(box.FindChild("Y"));
    EXPECT_FALSE(box.Contains(b));
    EXPECT_FALSE(y->Contains(b));
    y->AddItem(b);
    EXPECT_TRUE(y->Contains(b));
    EXPECT_FALSE(box.Contains(b));
}

TEST_F(BoxTest, RemovalTakesTheFirstOccurrenceOneByOneAndInOnePass) {
    TMObj* x = Artist("x");
    TMObj* y = Artist("y");
    TMObj* z = Artist("z");
    const std::vector<TMObj*> start = {x, y, x, z, y, x};
    const auto own = [](const TBOX& box) {
        std::vector<TMObj*> items;
        for (int i = 0; i < box.ItemCount(); ++i) items.push_back(box.GetItem(i));
        return items;
    };
    TBOX single, batch;
    for (TMObj* item : start) {
        single.AddItem(item);
        batch.AddItem(item);
    }
    const std::vector<const TMObj*> leaving = {x, y, x, z};
    for (const TMObj* item : leaving) single.RemoveItem(item);
    batch.RemoveItems(leaving);
    EXPECT_EQ(own(single), (std::vector<TMObj*>{y, x}));
    EXPECT_EQ(own(batch), own(single));
    EXPECT_FALSE(batch.Contains(z));
    EXPECT_TRUE(batch.Contains(x));

    // An item that is there once goes from wherever it is.
    TBOX flat;
    for (TMObj* item : {x, y, z}) flat.AddItem(item);
    flat.RemoveItem(x);
    flat.RemoveItem(z);
    EXPECT_EQ(own(flat), (std::vector<TMObj*>{y}));

    // By position: the entries named, whichever occurrence they are, and
    // the membership counts follow.
    TBOX queue;
    for (TMObj* item : start) queue.AddItem(item);
    queue.RemoveItemsAt({2, 3, 5});
    EXPECT_EQ(own(queue), (std::vector<TMObj*>{x, y, y}));
    EXPECT_FALSE(queue.Contains(z));
    queue.RemoveItemsAt({0});
    EXPECT_FALSE(queue.Contains(x));
}
