#include "sources/EpubPackage.h"

#include "common/Exception.h"
#include "common/PercentDecoding.h"
#include "html/Blanks.h"

#include <map>
#include <pugixml.hpp>

namespace {

constexpr const char* kContainerPath = "META-INF/container.xml";

// Elements nested deeper than this are not looked into: a hostile document must not exhaust the
// stack of the functions below, which walk the tree recursively.
constexpr int kMaxDepth = 128;

// Element names compare without their namespace prefix ("opf:item", "dc:title").
std::string_view LocalName(const pugi::xml_node& node)
{
    const std::string_view name = node.name();
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node FindFirst(const pugi::xml_node& root, std::string_view localName, int depth = 0)
{
    if (depth > kMaxDepth)
        return {};
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && LocalName(child) == localName)
            return child;
        if (const pugi::xml_node found = FindFirst(child, localName, depth + 1))
            return found;
    }
    return {};
}

std::vector<pugi::xml_node> Children(const pugi::xml_node& parent, std::string_view localName)
{
    std::vector<pugi::xml_node> found;
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && LocalName(child) == localName)
            found.push_back(child);
    }
    return found;
}

// An attribute by its local name ("epub:type" answers to "type").
std::string Attribute(const pugi::xml_node& node, std::string_view localName)
{
    for (pugi::xml_attribute attribute = node.first_attribute(); attribute; attribute = attribute.next_attribute()) {
        std::string_view name = attribute.name();
        const std::size_t colon = name.find(':');
        if (colon != std::string_view::npos && !name.starts_with("xmlns"))
            name = name.substr(colon + 1);
        if (name == localName)
            return attribute.value();
    }
    return {};
}

void AppendText(const pugi::xml_node& node, std::string& text, int depth)
{
    if (depth > kMaxDepth)
        return;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            text += child.value();
        else
            AppendText(child, text, depth + 1);
    }
}

std::string TextOf(const pugi::xml_node& node)
{
    std::string text;
    AppendText(node, text, 0);
    return CollapseBlanks(text);
}

bool HasWord(const std::string& list, std::string_view word)
{
    std::size_t start = 0;
    while (start < list.size()) {
        const std::size_t end = std::min(list.find(' ', start), list.size());
        if (std::string_view(list).substr(start, end - start) == word)
            return true;
        start = end + 1;
    }
    return false;
}

pugi::xml_document ParseXml(const EpubFileReader& read, const std::string& path, const std::string& source)
{
    const auto text = read(path);
    if (!text)
        throw Exception("Cannot read " + source + " as an EPUB: it has no " + path);
    pugi::xml_document document;
    const pugi::xml_parse_result parsed
        = document.load_buffer(text->data(), text->size(), pugi::parse_default | pugi::parse_ws_pcdata);
    if (!parsed)
        throw Exception("Cannot read " + source + " as an EPUB: " + path + " is not well-formed XML ("
            + parsed.description() + ")");
    return document;
}

std::vector<EpubNavPoint> NavList(const pugi::xml_node& list, const std::string& base, int depth = 0)
{
    std::vector<EpubNavPoint> points;
    if (depth > kMaxDepth)
        return points;
    for (const pugi::xml_node& item : Children(list, "li")) {
        EpubNavPoint point;
        for (pugi::xml_node child = item.first_child(); child; child = child.next_sibling()) {
            const std::string_view name = LocalName(child);
            if (name == "a" || name == "span") {
                point.label = TextOf(child);
                if (name == "a")
                    point.path = ResolveEpubHref(base, Attribute(child, "href"), &point.fragment).value_or("");
            } else if (name == "ol" || name == "ul") {
                point.children = NavList(child, base, depth + 1);
            }
        }
        if (!point.label.empty() || !point.children.empty())
            points.push_back(std::move(point));
    }
    return points;
}

std::vector<EpubNavPoint> NcxPoints(const pugi::xml_node& parent, const std::string& base, int depth = 0)
{
    std::vector<EpubNavPoint> points;
    if (depth > kMaxDepth)
        return points;
    for (const pugi::xml_node& navPoint : Children(parent, "navPoint")) {
        EpubNavPoint point;
        point.label = TextOf(FindFirst(navPoint.child("navLabel") ? navPoint.child("navLabel") : navPoint, "text"));
        for (const pugi::xml_node& content : Children(navPoint, "content"))
            point.path = ResolveEpubHref(base, Attribute(content, "src"), &point.fragment).value_or("");
        point.children = NcxPoints(navPoint, base, depth + 1);
        points.push_back(std::move(point));
    }
    return points;
}

// The table of contents of an EPUB 3 navigation document: the <nav> typed "toc", else the first.
std::vector<EpubNavPoint> ReadNavDocument(const EpubFileReader& read, const std::string& path)
{
    const auto text = read(path);
    if (!text)
        return {};
    pugi::xml_document document;
    if (!document.load_buffer(text->data(), text->size(), pugi::parse_default | pugi::parse_ws_pcdata))
        return {};
    std::vector<pugi::xml_node> navs;
    std::function<void(const pugi::xml_node&, int)> collect = [&](const pugi::xml_node& node, int depth) {
        if (depth > kMaxDepth)
            return;
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
            if (child.type() == pugi::node_element && LocalName(child) == "nav")
                navs.push_back(child);
            collect(child, depth + 1);
        }
    };
    collect(document, 0);
    for (const pugi::xml_node& nav : navs) {
        if (HasWord(Attribute(nav, "type"), "toc")) {
            if (const pugi::xml_node list = FindFirst(nav, "ol"))
                return NavList(list, path);
        }
    }
    if (!navs.empty()) {
        if (const pugi::xml_node list = FindFirst(navs.front(), "ol"))
            return NavList(list, path);
    }
    return {};
}

std::vector<EpubNavPoint> ReadNcx(const EpubFileReader& read, const std::string& path)
{
    const auto text = read(path);
    if (!text)
        return {};
    pugi::xml_document document;
    if (!document.load_buffer(text->data(), text->size(), pugi::parse_default | pugi::parse_ws_pcdata))
        return {};
    const pugi::xml_node navMap = FindFirst(document, "navMap");
    return navMap ? NcxPoints(navMap, path) : std::vector<EpubNavPoint>();
}

} // namespace

std::optional<std::string> ResolveEpubHref(const std::string& base, const std::string& href, std::string* fragment)
{
    std::string path = href;
    const std::size_t hash = path.find('#');
    if (fragment != nullptr)
        *fragment = hash == std::string::npos ? "" : path.substr(hash);
    if (hash != std::string::npos)
        path.resize(hash);
    const std::size_t colon = path.find(':');
    if (colon != std::string::npos && path.find('/') > colon)
        return std::nullopt; // "http:", "mailto:"
    if (path.empty())
        path = base;
    else if (!path.starts_with('/'))
        path = base.substr(0, base.rfind('/') == std::string::npos ? 0 : base.rfind('/') + 1) + path;
    path = PercentDecodePath(path);
    std::vector<std::string> steps;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string step = path.substr(start, end - start);
        if (step == "..") {
            if (steps.empty())
                return std::nullopt;
            steps.pop_back();
        } else if (!step.empty() && step != ".") {
            steps.push_back(step);
        }
        start = end + 1;
    }
    std::string resolved;
    for (const std::string& step : steps)
        resolved += (resolved.empty() ? "" : "/") + step;
    if (resolved.empty())
        return std::nullopt;
    return resolved;
}

EpubPackage ReadEpubPackage(const EpubFileReader& read, const std::string& source)
{
    EpubPackage package;
    const pugi::xml_document container = ParseXml(read, kContainerPath, source);
    const pugi::xml_node rootfile = FindFirst(container, "rootfile");
    package.packagePath = ResolveEpubHref("", Attribute(rootfile, "full-path"), nullptr).value_or("");
    if (package.packagePath.empty())
        throw Exception("Cannot read " + source + " as an EPUB: " + kContainerPath + " names no package document");
    const pugi::xml_document opf = ParseXml(read, package.packagePath, source);
    const std::string& base = package.packagePath;

    std::string coverId;
    if (const pugi::xml_node metadata = FindFirst(opf, "metadata")) {
        for (pugi::xml_node node = metadata.first_child(); node; node = node.next_sibling()) {
            const std::string_view name = LocalName(node);
            std::string* field = name == "title" ? &package.title
                : name == "description"          ? &package.description
                : name == "date"                 ? &package.date
                : name == "language"             ? &package.language
                                                 : nullptr;
            if (field != nullptr && field->empty())
                *field = TextOf(node);
            if (name == "creator" && !TextOf(node).empty())
                package.creators.push_back(TextOf(node));
            if (name == "meta" && Attribute(node, "name") == "cover")
                coverId = Attribute(node, "content");
        }
    }

    struct Item {
        std::string path;
        std::string mediaType;
    };
    std::map<std::string, Item> manifest;
    std::string navPath;
    if (const pugi::xml_node list = FindFirst(opf, "manifest")) {
        for (const pugi::xml_node& item : Children(list, "item")) {
            const auto path = ResolveEpubHref(base, Attribute(item, "href"), nullptr);
            if (!path)
                continue;
            manifest[Attribute(item, "id")] = { *path, Attribute(item, "media-type") };
            const std::string properties = Attribute(item, "properties");
            if (HasWord(properties, "nav"))
                navPath = *path;
            if (HasWord(properties, "cover-image"))
                package.coverImage = *path;
        }
    }
    if (package.coverImage.empty() && manifest.contains(coverId))
        package.coverImage = manifest[coverId].path;

    if (const pugi::xml_node spine = FindFirst(opf, "spine")) {
        const std::string tocId = Attribute(spine, "toc");
        if (manifest.contains(tocId))
            package.ncxPath = manifest[tocId].path;
        for (const pugi::xml_node& itemref : Children(spine, "itemref")) {
            const auto found = manifest.find(Attribute(itemref, "idref"));
            if (found != manifest.end())
                package.spine.push_back(found->second.path);
        }
    }
    if (package.ncxPath.empty()) {
        for (const auto& [id, item] : manifest) {
            if (item.mediaType == "application/x-dtbncx+xml")
                package.ncxPath = item.path;
        }
    }
    if (const pugi::xml_node guide = FindFirst(opf, "guide")) {
        for (const pugi::xml_node& reference : Children(guide, "reference")) {
            if (Attribute(reference, "type") == "cover")
                package.coverPage = ResolveEpubHref(base, Attribute(reference, "href"), nullptr).value_or("");
        }
    }

    if (!navPath.empty())
        package.contents = ReadNavDocument(read, navPath);
    if (package.contents.empty() && !package.ncxPath.empty())
        package.contents = ReadNcx(read, package.ncxPath);
    return package;
}
