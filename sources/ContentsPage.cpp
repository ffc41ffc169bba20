#include "sources/ContentsPage.h"

#include "html/HtmlEscape.h"

#include <set>

namespace {

void AppendList(std::string& html, const std::vector<EpubNavPoint>& points, std::set<std::string>& linked)
{
    html += "<ol>\n";
    for (const EpubNavPoint& point : points) {
        html += "<li>";
        const std::string label = EscapeHtml(point.label.empty() ? point.path : point.label);
        if (point.path.empty()) {
            html += "<span>" + label + "</span>";
        } else {
            html += "<a href=\"" + EscapeHtml(LinkToPage(point.path) + point.fragment) + "\">" + label + "</a>";
            linked.insert(point.path);
        }
        if (!point.children.empty())
            AppendList(html, point.children, linked);
        html += "</li>\n";
    }
    html += "</ol>\n";
}

constexpr std::string_view kStyle
    = "body{font-family:serif;max-width:40em;margin:2em auto;padding:0 1em;line-height:1.5}"
      "h1{font-size:1.8em}ol{padding-left:1.5em}li{margin:.2em 0}"
      "img.cover{max-width:100%;max-height:70vh;display:block;margin:1em auto}";

} // namespace

std::string LinkToPage(const std::string& archivePath)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string link = "/";
    for (char c : archivePath) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9')
            || c == '/' || c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            link += c;
        } else {
            link += '%';
            link += kHex[byte >> 4];
            link += kHex[byte & 0x0F];
        }
    }
    return link;
}

std::string EpubContentsPage(const EpubPackage& package, const std::function<std::string(const std::string&)>& labelOf)
{
    const std::string title = package.title.empty() ? "Contents" : package.title;
    std::string html = "<!DOCTYPE html>\n<html";
    if (!package.language.empty())
        html += " lang=\"" + EscapeHtml(package.language) + "\"";
    html += ">\n<head>\n<meta charset=\"utf-8\">\n<title>" + EscapeHtml(title) + "</title>\n<style>"
        + std::string(kStyle) + "</style>\n</head>\n<body>\n<h1>" + EscapeHtml(title) + "</h1>\n";
    if (!package.creators.empty()) {
        std::string by;
        for (const std::string& creator : package.creators)
            by += (by.empty() ? "" : ", ") + creator;
        html += "<p>" + EscapeHtml(by) + "</p>\n";
    }
    std::set<std::string> linked;
    const std::string coverTarget = !package.coverPage.empty() ? package.coverPage
        : package.spine.empty()                                ? std::string()
                                                               : package.spine.front();
    if (!package.coverImage.empty()) {
        html += "<p><a href=\"" + EscapeHtml(LinkToPage(coverTarget)) + "\"><img class=\"cover\" src=\""
            + EscapeHtml(LinkToPage(package.coverImage)) + "\" alt=\"Cover\"></a></p>\n";
        linked.insert(coverTarget);
    } else if (!package.coverPage.empty()) {
        html += "<p><a href=\"" + EscapeHtml(LinkToPage(package.coverPage)) + "\">Cover</a></p>\n";
        linked.insert(package.coverPage);
    }
    if (!package.contents.empty()) {
        html += "<h2>Contents</h2>\n";
        AppendList(html, package.contents, linked);
    }
    std::vector<std::string> rest;
    for (const std::string& path : package.spine) {
        if (!linked.contains(path)) {
            rest.push_back(path);
            linked.insert(path);
        }
    }
    if (!rest.empty()) {
        html += package.contents.empty() ? "<h2>Contents</h2>\n<ol>\n" : "<h2>Also in reading order</h2>\n<ol>\n";
        for (const std::string& path : rest)
            html += "<li><a href=\"" + EscapeHtml(LinkToPage(path)) + "\">" + EscapeHtml(labelOf(path)) + "</a></li>\n";
        html += "</ol>\n";
    }
    html += "</body>\n</html>\n";
    return html;
}
