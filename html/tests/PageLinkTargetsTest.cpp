#include "html/PageLinkTargets.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Targets(const std::vector<LinkTarget>& links)
{
    std::vector<std::string> targets;
    for (const LinkTarget& link : links)
        targets.push_back(link.target);
    return targets;
}

} // namespace

TEST(PageLinkTargets, EveryKindOfReferenceInMarkupIsFoundAndNoneInCommentsOrScripts)
{
    const PageLinkTargets page = LinkTargetsOfMarkup(R"html(<!DOCTYPE html><html><head>
<base href="sub/"><BASE HREF="ignored/">
<meta http-equiv="Refresh" content="0; URL='next.html'">
<link rel=stylesheet href=style.css>
<style>@import "print.css"; body { background: url( 'bg.png' ) } /* url(commented.png) */</style>
<script>document.write('<a href="scripted.html">')</script>
</head><body>
<!-- <a href="commented.html"> -->
<a href="a.html?x=1&amp;y=2#part" id=top>A</a>
<img src=" pic.png " srcset="small.png 1x, large.png 2x,wide.png">
<video poster="poster.jpg"><source src="clip.webm"></video>
<object data="figure.svg"></object>
<p style="background-image:url(dot.gif)" id="second">
<a name="old-anchor"></a><input name="not-an-anchor">
</body></html>)html");
    EXPECT_EQ(page.base, "sub/");
    EXPECT_EQ(Targets(page.links),
        (std::vector<std::string> { "next.html", "style.css", "print.css", "bg.png", "a.html?x=1&y=2#part", "pic.png",
            "small.png", "large.png", "wide.png", "poster.jpg", "clip.webm", "figure.svg", "dot.gif" }));
    EXPECT_EQ(page.links[0].where, "meta refresh");
    EXPECT_EQ(page.links[6].where, "img srcset");
    EXPECT_EQ(page.anchors, (std::vector<std::string> { "top", "second", "old-anchor" }));
}

TEST(PageLinkTargets, ASourceSetOfMillionsGivesItsFirstCandidatesOnly)
{
    std::string set;
    for (int i = 0; i < 1000000; ++i)
        set += "i" + std::to_string(i) + ".png 1x,";
    const PageLinkTargets page = LinkTargetsOfMarkup("<img srcset=\"" + set + "\"><a href=after.html>");
    ASSERT_EQ(page.links.size(), kMostSourceSetCandidates + 1);
    EXPECT_EQ(page.links[kMostSourceSetCandidates - 1].target, "i99.png");
    EXPECT_EQ(page.links.back().target, "after.html") << "the page's other links still count";
    EXPECT_FALSE(page.cut);

    // A style attribute, a <style> element and ids of hundreds of thousands: the first of each
    // bound are kept and the page says it was read in part.
    std::string urls;
    std::string ids;
    for (std::size_t i = 0; i < kMostLinksPerPage + 50000; ++i) {
        urls += "url(u" + std::to_string(i) + ") ";
        ids += "<b id=a" + std::to_string(i) + "></b>";
    }
    const PageLinkTargets many = LinkTargetsOfMarkup("<p style=\"" + urls + "\">" + ids + "<a href=after.html>");
    EXPECT_TRUE(many.cut);
    ASSERT_EQ(many.links.size(), kMostLinksPerPage);
    EXPECT_EQ(many.links.back().target, "u" + std::to_string(kMostLinksPerPage - 1));
    EXPECT_EQ(many.anchors.size(), kMostLinksPerPage);
    EXPECT_EQ(LinkTargetsOfStyleSheet(urls).size(), kMostLinksPerPage);
}

TEST(PageLinkTargets, StyleSheetsGiveUrlsAndImportsInEveryQuoting)
{
    const auto links = LinkTargetsOfStyleSheet(R"css(@import url(base.css); @IMPORT 'theme.css';
@font-face { src: URL("fonts/a.woff2") format("woff2"), url(fonts/a.woff) }
.x::before { content: "url(not-a-link)" } /* @import "no.css"; */ .y { background: url(  ) })css");
    EXPECT_EQ(Targets(links), (std::vector<std::string> { "base.css", "theme.css", "fonts/a.woff2", "fonts/a.woff" }));
    EXPECT_EQ(links[1].where, "@import");
    // Markup cut short anywhere still ends.
    const std::string page = "<a href=\"x.html\">x</a><img src=\"y";
    for (std::size_t length = 0; length <= page.size(); ++length)
        LinkTargetsOfMarkup(page.substr(0, length));
    EXPECT_EQ(Targets(LinkTargetsOfStyleSheet("a{b:url(\"c")), (std::vector<std::string> { "c" }));
}
