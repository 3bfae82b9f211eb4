#include "core/valuelist.h"

#include <gtest/gtest.h>

TEST(ValueList, NamesMatchWithoutLetterCaseAndTheFirstLineWins) {
    TValueList list;
    list.SetText("TCON=Rock\r\ntcon=Pop\r\n");
    EXPECT_EQ(list.Get("tcon"), "Rock");
    list.Set("Tcon", "Jazz");
    EXPECT_EQ(list.Text(), "Tcon=Jazz\r\ntcon=Pop\r\n");
}

TEST(ValueList, ValuesKeepFurtherEqualsSignsAndLinesWithoutOneNeverMatch) {
    TValueList list;
    list.SetText("url=a=b\r\nplain line\r\n=empty name\r\n");
    EXPECT_EQ(list.Get("url"), "a=b");
    EXPECT_EQ(list.Get("plain line"), "");
    EXPECT_FALSE(list.Has("plain line"));
    EXPECT_EQ(list.Get(""), "empty name");
    EXPECT_EQ(list.Count(), 3u);
}

TEST(ValueList, EmptyValueDeletesOnlyTheFirstMatchingLine) {
    TValueList list;
    list.SetText("a=1\r\nb=2\r\na=3\r\n");
    list.Set("A", "");
    EXPECT_EQ(list.Text(), "b=2\r\na=3\r\n");
    list.Set("missing", "");
    EXPECT_EQ(list.Text(), "b=2\r\na=3\r\n");
}

TEST(ValueList, NewKeysAppendInTheOrderFirstSet) {
    TValueList list;
    list.Set("filename", "/m/a.mp3");
    list.Set("TAG", "ID3");
    list.Set("filename", "/m/b.mp3");
    EXPECT_EQ(list.Text(), "filename=/m/b.mp3\r\nTAG=ID3\r\n");
}

TEST(ValueList, TextSplitsAtEveryKindOfLineEnd) {
    TValueList list;
    list.SetText("a=1\rb=2\nc=3\r\n\r\nd=4");
    EXPECT_EQ(list.Text(), "a=1\r\nb=2\r\nc=3\r\n\r\nd=4\r\n");
    EXPECT_EQ(list.Count(), 5u);
    list.SetText("");
    EXPECT_TRUE(list.Empty());
}

TEST(ValueList, AValueStaysOnOneLine) {
    // A line break inside a value would split it into lines of its own, one
    // of which could pose as another key once the text is read back.
    TValueList list;
    list.Set("COMM", "first\r\nTIT2=forged\nthird\rfourth");
    EXPECT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.Get("COMM"), "first TIT2=forged third fourth");
    EXPECT_FALSE(list.Has("TIT2"));
}

TEST(ValueList, NamesThatCouldNotBeFoundAgainAreRefused) {
    TValueList list;
    list.Set("a=b", "c");
    list.Set("a\nb", "c");
    list.Set("", "c");
    EXPECT_TRUE(list.Empty());
}

TEST(ValueList, ANameThatIsAPrefixOfAnotherDoesNotMatchIt) {
    TValueList list;
    list.SetText("APIC.0.filename=x\r\nAPIC.num=1\r\n");
    EXPECT_EQ(list.Get("APIC"), "");
    EXPECT_EQ(list.Get("APIC.num"), "1");
    int seen = 0;
    list.ForEach([&](std::string_view name, std::string_view value) {
        EXPECT_EQ(list.Get(std::string(name)), value);
        ++seen;
    });
    EXPECT_EQ(seen, 2);
}
