#include "common/StringList.h"
#include "common/Exception.h"

#include <gtest/gtest.h>

TEST(StringList, IndexErrorNamesTheIndex)
{
    TStringList list;
    list.Add("a");
    try {
        (void)list.Strings(5);
        FAIL() << "no exception";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (5)");
    }
    try {
        list.Delete(-1);
        FAIL() << "no exception";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (-1)");
    }
    EXPECT_THROW((void)list.Objects(1), EListError);
    EXPECT_NO_THROW(list.Insert(1, "end"));
    EXPECT_EQ(list[1], "end");
}

TEST(StringList, NameValueAccessIgnoresCaseAndSplitsAtFirstEquals)
{
    TStringList list;
    list.Add("Content-Length=12");
    list.Add("X=a=b");
    list.Add("NoValue");
    EXPECT_EQ(list.Values("content-length"), "12");
    EXPECT_EQ(list.Values("x"), "a=b");
    EXPECT_EQ(list.Values("NoValue"), "");
    EXPECT_EQ(list.Values("missing"), "");
    EXPECT_EQ(list.Names(1), "X");
    EXPECT_EQ(list.IndexOfName("novalue"), -1);
}

TEST(StringList, SetValueReplacesInPlaceAppendsOrDeletes)
{
    TStringList list;
    list.Add("Server=old");
    list.Add("Other=1");
    list.SetValue("SERVER", "new");
    EXPECT_EQ(list[0], "SERVER=new");
    list.SetValue("Content-Type", "text/html");
    EXPECT_EQ(list[2], "Content-Type=text/html");
    list.SetValue("other", "");
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[1], "Content-Type=text/html");
    list.SetValue("absent", "");
    EXPECT_EQ(list.Count(), 2);
}

TEST(StringList, SetTextSplitsAtEveryLineBreakKindAndStopsAtNul)
{
    TStringList list;
    list.SetText(std::string("a\r\nb\rc\nd\r\n"));
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list[3], "d");
    list.SetText(std::string("x\r\n\r\ny\0z", 9));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list[1], "");
    EXPECT_EQ(list[2], "y");
    EXPECT_EQ(list.Text(), "x\r\n\r\ny\r\n");
    list.SetText("");
    EXPECT_EQ(list.Count(), 0);
}

TEST(StringList, IndexOfFoldsLatinLetters)
{
    TStringList list;
    list.Add("/A.htm");
    list.Add("/\xC9t\xE9.htm"); // Été.htm in Windows-1252
    EXPECT_EQ(list.IndexOf("/a.HTM"), 0);
    EXPECT_EQ(list.IndexOf("/\xE9T\xC9.HTM"), 1);
    EXPECT_EQ(list.IndexOf("/a.htm "), -1);
}
