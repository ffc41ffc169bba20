#include "bookpdf/ReadingOrder.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// Reads the whole order, giving each page the links of the table, as "page<parent" items.
std::string ReadAll(TReadingOrder& order, const std::map<int, std::vector<int>>& links)
{
    std::string text;
    while (const auto next = order.Next()) {
        text += (text.empty() ? "" : " ") + std::to_string(next->Page) + "<" + std::to_string(next->Parent);
        const auto found = links.find(next->Page);
        order.Follow(found == links.end() ? std::vector<int> {} : found->second);
    }
    return text;
}

} // namespace

TEST(ReadingOrder, HomeThenDepthFirstAlongTheLinksThenTheUnreachedInDirectoryOrder)
{
    // Pages 0..6, home 3; 5 is no page (a picture) and is passed over though linked; 3 links
    // itself and back; 1 is reached twice and placed once, under the first to reach it.
    TReadingOrder order({ 0, 1, 2, 3, 4, 6 }, 3);
    EXPECT_EQ(order.Total(), 6u);
    EXPECT_EQ(
        ReadAll(order, { { 3, { 4, 5, 3, 1 } }, { 4, { 1, 3, 9 } }, { 1, { 4 } } }), "3<-1 4<0 1<1 0<-1 2<-1 6<-1");
    EXPECT_FALSE(order.Next().has_value());

    // A home page that is not among the pages still comes first, once.
    TReadingOrder other({ 0, 1 }, 7);
    EXPECT_EQ(other.Total(), 3u);
    EXPECT_EQ(ReadAll(other, { { 7, { 1, 7 } } }), "7<-1 1<0 0<-1");
}
